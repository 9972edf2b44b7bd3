// Web pages in the user's browser.
#pragma once

#include <string>

// Opens the address with the desktop's opener (xdg-open) and returns at once:
// the opener runs detached, so a browser that takes its time never holds the
// frame. Returns 0, or the errno of a failed start.
int go_to_URL(const std::string& url);
