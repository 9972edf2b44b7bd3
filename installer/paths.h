// The installer's path helpers.
#pragma once

#include <string>

// The absolute path of a system folder, ending in "/": 0 the application's
// folder, 1 desktop, 2 applications, 3 temporary items, 4 preferences.
// Returns 0, or an error code with out unchanged.
int get_OS_abs_path(int which, std::string& out);
