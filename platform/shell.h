// Start-up and orderly shut-down of the program, and the shell's globals that
// the core, file and installer code read.
#pragma once

#include <poll.h>

#include <string>

namespace app_hook_defaults {
inline void update() {}
inline void handlemenu(int) {}
inline void load_images() {}
inline int ready_fds(pollfd*, int) { return 0; }
inline void stop() {}
}  // namespace app_hook_defaults

// What the shell calls of the application above it. The entry point registers
// them before MACIBM_init (APP_register_hooks); until then each is a default
// that does nothing.
struct app_hooks {
  // The application's frame function (APP_update): once per frame while no
  // modal window is current.
  void (*update)() = app_hook_defaults::update;
  // A bar-menu item was picked (APP_handlemenu).
  void (*handlemenu)(int item) = app_hook_defaults::handlemenu;
  // Loads the built-in images at start-up, leaving the widget atlas staged in
  // scratch_array for the interface colours.
  void (*load_images)() = app_hook_defaults::load_images;
  // What the application has to do beside the window's events: descriptors
  // (at most `room`) whose readiness ends the frame's wait for events as an
  // event would. Asked before each wait; they stay open until it ends.
  int (*ready_fds)(pollfd* fds, int room) = app_hook_defaults::ready_fds;
  // Stops the application's work that runs on the worker pool, waiting for
  // (or abandoning) what is out and removing what it leaves: the orderly
  // shut-down calls it on the main thread before the threads stop, on the
  // fatal alert's path too, and may call it more than once.
  void (*stop)() = app_hook_defaults::stop;
};
// The most descriptors the frame's wait asks the application for.
inline constexpr int kMaxReadyFds = 16;
extern app_hooks g_app_hooks;

// The display file's sizes as last read or written: one per world kind and a
// shared one. reset() puts them back as they stand at start-up (tests call it
// between cases).
struct display_prefs_state {
  int x_res_req_pln = 0, y_res_req_pln = 0;
  int x_res_req_wrl = 0, y_res_req_wrl = 0;
  int x_res_req_all = 0, y_res_req_all = 0;

  void reset() { *this = display_prefs_state(); }
};
extern display_prefs_state g_display_prefs;

// Fills the hooks of the lower layers (the alert's, the core's with the
// memory figures from /proc, the drawing layer's and the widgets') with the
// shell's own work. MACIBM_init calls it first; the test programs of the
// shell and the installer have it called before their first test.
void PLAT_install_hooks();

void MACIBM_init(int argc, const char** argv);
// Idempotent; safe before any window exists. save: write the preferences.
void MACIBM_finishup(int save);
// Writes the folder that holds the executable (ending in "/") into out and
// empties app_path.
void MACIBM_set_app_path(std::string& out);
