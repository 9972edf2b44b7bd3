// The keep/overwrite/delete question about a file the user changed: the
// modal window 997 that the file decisions ask through.
#pragma once

#include <string>

#include "installer/update/decisions.h"

// Runs the window until the user answers; returns a select_answer (1 act on
// this file, 2 keep it, 3 cancel the install, 4 act on every such file of
// its folder, 5 keep every such file of its folder). deleting: 1 when the
// file is to be deleted, 0 when it is to be overwritten. Another window made
// current, or the program being closed, counts as cancel.
select_answer question_window(const std::string& local_path, int deleting);
