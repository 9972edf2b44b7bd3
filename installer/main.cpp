// The program's entry point: the application's hooks, the shell's start-up,
// the frame loop, the orderly shut-down.
#include "core/globals.h"
#include "installer/app.h"
#include "installer/start.h"
#include "platform/frame.h"
#include "platform/shell.h"

int main(int argc, const char** argv) {
  APP_register_hooks();
  MACIBM_init(argc, argv);
  APP_start_run(argc, argv);
  while (!app_done) MACIBM_event_proc();
  // Closing the window or a signal ends the loop too: it all ends as QUIT does.
  APP_quit();
  MACIBM_finishup(1);
  next = next_struct();
  return 0;
}
