// The installer's preferences window (window 2): the settings of the
// installer and the download manager's proxy, changed in place as the user
// edits them and saved when the program ends.
#pragma once

#include <string>

void handle_prefs();
// The proxy port number the typed text gives: 1 to 65535, anything else 0
// (no proxy).
int proxy_port_number(const std::string& text);
