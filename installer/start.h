// The start of the run: the installer's shared records, its defaults, the
// destination folder, and the small path helpers of the installer.
#pragma once

#include <set>
#include <string>

// The four download streams. The first two words are zero at start; all are
// zeroed at exit.
struct next_struct {
  int next_file = 0;
  int all_done = 0;
  int stream_on[4] = {};
  int stream_takes_next[4] = {};
  int stream_file[4] = {};
  float reset_time = 0.0f;
  float running_kb = 0.0f;
  float finished_kb = 0.0f;
  float installed_kb = 0.0f;
};

extern std::string dest_dir_path;  // always meant to end in "/"
extern std::string temp_path;
extern std::string install_name;
extern std::string crnt_file_name, crnt_file_path;
extern std::string server_name[10], server_path[10], server_desc[10];
extern next_struct next;
extern std::set<std::string> deleted_files;
extern int this_install_has_exes;

// Binds the installer's settings (and the download manager's) to the keys of
// its preferences file, in the file's order.
void APP_register_prefs();
// Everything between the shell's start-up and the first frame: the system
// folders in the log, the defaults, the preferences and the destination.
void APP_start_run(int argc, const char** argv);
// Removes everything up to and including the first "/" (the platform folder).
void trim_dest_folder(std::string& path);
// 1 when dest_dir_path already holds an installation.
int path_is_to_a_sim();
// The folder dialog for the destination; 1 when the user chose one.
int pick_dest_path();
// An empty hook.
void function_key(int key);
