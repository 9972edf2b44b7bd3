// Deciding, before an install, what happens to every file of the manifest:
// fetch it, delete it, or leave it alone; asking the user about a file that
// matches no version the manifest knows (the user changed it).
#pragma once

#include <string>

struct install_state;

// The answers of the keep/overwrite question (a hook may give any other
// value: the file is then acted on).
enum select_answer : int {
  answer_act = 1,       // overwrite (or delete) this file
  answer_keep = 2,      // keep this file
  answer_cancel = 3,    // cancel the whole installation
  answer_act_all = 4,   // overwrite (or delete) every such file of this folder
  answer_keep_all = 5,  // keep every such file of this folder
};

// Asks about one file: its local path, and 1 when it is to be deleted, 0 when
// it is to be installed. Returns a select_answer.
using select_alert_fn = select_answer (*)(const std::string& local_path, int deleting);
// The default when no question window is installed (g_engine_hooks,
// installer/update/hooks.h): the user's file is kept, nothing of theirs is
// lost unasked.
select_answer keep_unasked(const std::string& local_path, int deleting);

// Asks through the engine's select_alert hook, where the question window
// installs itself and tests install their answers.
select_answer select_alert(const std::string& local_path, int deleting);

// Asks about a copy of the user's at local (deleting: 1 when the file is to be
// deleted), unless a folder-wide answer of this install covers its folder;
// an answer for the whole folder stands for the rest of the install. A
// question asked is logged as "File: " + local + why. *act becomes 1 to act
// on the copy, 0 to keep it. False when the user cancelled.
bool answer_about_copy(install_state& in, const std::string& local, int deleting,
                       const std::string& why, int* act);

// Sets want_download and want_delete on the last record of every history of
// the install's manifest. Returns 1 to go on with the install, 0 when the
// user cancelled it (the flags of that history and the later ones are then
// left as they were).
int choose_files(install_state& in);
