// The program's entry point: the application's hooks, the shell's start-up,
// the frame loop, the orderly shut-down. Built with the builder switch on,
// the same entry point builds install sets in the program's window instead.
#include "core/cmdline.h"
#include "core/globals.h"
#include "installer/app.h"
#include "installer/builder/builder.h"
#include "installer/start.h"
#include "installer/usage.h"
#include "platform/frame.h"
#include "platform/shell.h"

// The build switches: the builder program sets them, the installer keeps 0.
#ifndef NIMBREL_IS_BUILD
#define NIMBREL_IS_BUILD 0
#endif
#ifndef NIMBREL_INSTALL_TYPE
#define NIMBREL_INSTALL_TYPE 0
#endif
constexpr int is_build = NIMBREL_IS_BUILD;

int main(int argc, const char** argv) {
  APP_register_hooks();
  if (is_build) {
    // Before the shell makes the program's folder the current one: relative
    // locations are the caller's.
    builder_take_environment();
    cmdline.set_usage(builder_usage(NIMBREL_INSTALL_TYPE));
    MACIBM_init(argc, argv);
    install_type = NIMBREL_INSTALL_TYPE;
    build_install();
    // The installer's preferences were never read: nothing is saved.
    MACIBM_finishup(0);
    return 0;
  }
  cmdline.set_usage(kInstallerUsage);
  MACIBM_init(argc, argv);
  APP_start_run(argc, argv);
  while (!app_done) MACIBM_event_proc();
  // Closing the window or a signal ends the loop too: it all ends as QUIT does.
  APP_quit();
  MACIBM_finishup(1);
  next = next_struct();
  return 0;
}
