// The start of the run: the installer's shared records, its defaults, the
// destination folder, and the small path helpers of the installer.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "installer/update/install.h"

// The program's install, which the frame hands to the engine, reporting
// through stg. Its records go by the names the rest of the installer knows
// them by.
extern install_state g_install;

extern std::string& dest_dir_path;  // always meant to end in "/"
extern std::string& temp_path;
extern std::string& install_name;
extern std::string &crnt_file_name, &crnt_file_path;
extern std::string (&server_name)[kMirrorCount];
extern std::string (&server_path)[kMirrorCount];
extern std::string (&server_desc)[kMirrorCount];
extern next_struct& next;
extern std::set<std::string>& deleted_files;
extern int& this_install_has_exes;
extern std::vector<file_history_struct>& sim_info;
extern std::string& manifest_problem;

// Binds the installer's settings (and the download manager's) to the keys of
// its preferences file, in the file's order.
void APP_register_prefs();
// Everything between the shell's start-up and the first frame: the system
// folders in the log, the defaults, the preferences and the destination.
void APP_start_run(int argc, const char** argv);
// 1 when dest_dir_path already holds an installation.
int path_is_to_a_sim();
// The folder dialog for the destination; 1 when the user chose one.
int pick_dest_path();
// An empty hook.
void function_key(int key);
