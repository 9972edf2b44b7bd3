// The installer's path helpers.
#pragma once

#include <string>

// The system folders, as the log names them.
enum os_folder {
  os_dir_this_app = 0,  // the application's folder
  os_dir_desktop = 1,
  os_dir_default_apps = 2,  // applications
  os_dir_temp = 3,          // this run's temporary items
  os_dir_prefs = 4,         // preferences
};

// The absolute path of a system folder (an os_folder), ending in "/".
// Returns 0, or an error code with out unchanged.
int get_OS_abs_path(int which, std::string& out);
