// Seams through which the install engine reaches the screen above it: the
// reading's progress panel and the question about a file the user changed.
// The frame installs them at start-up (APP_register_hooks); until then each
// does its harmless default, so no call site tests them.
#pragma once

#include "installer/update/decisions.h"
#include "installer/update/manifest.h"

struct engine_hooks {
  // A reading's progress (read_directory only): by default nothing is drawn.
  dir_progress_fn dir_progress = no_dir_progress;
  // The question about a file the user changed: by default, with no window
  // to ask in, the file is kept (answer_keep) and the log says so.
  select_alert_fn select_alert = keep_unasked;
};
extern engine_hooks g_engine_hooks;
// The defaults again (a test that installed its own).
void engine_hooks_reset();
