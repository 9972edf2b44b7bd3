// System folders of the user's session, each ending in "/".
#pragma once

#include <string>

// kind 0 the executable's folder, 1 desktop, 2 applications, 3 this run's
// private temporary folder, 4 preferences. Returns 0 or an errno.
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
