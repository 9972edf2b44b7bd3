// System folders of the user's session, each ending in "/".
#pragma once

#include <string>

// The kinds of PLAT_system_folder.
enum system_folder_kind {
  folder_app = 0,           // the executable's folder
  folder_desktop = 1,       // the user's desktop
  folder_applications = 2,  // ~/Applications/
  folder_temp = 3,          // this run's private temporary folder
  folder_prefs = 4,         // the preferences ($XDG_CONFIG_HOME, made if missing)
};

// One of the system_folder_kinds. Returns 0 or an errno.
int PLAT_system_folder(int kind, std::string& out);
// The user's home folder ($HOME, else "/"), ending in "/".
std::string PLAT_home_folder();
// What the folders keep for the run: the private temporary folder, once made.
// reset() removes it with everything in it.
struct folders_state {
  std::string temp_folder;

  void reset();
};
extern folders_state g_folders;
// Removes the private temporary folder of this run, if one was made.
void PLAT_remove_temp_folder();
