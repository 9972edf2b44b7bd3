// Seams through which the widgets reach the platform shell, installed by the
// shell at start-up (PLAT_install_hooks); until then each is a default that
// does nothing, so a caller never asks whether one is installed.
#pragma once

#include <string>
#include <vector>

// One row of a pop-up list, in units of the current window.
struct popup_row {
  std::string text;
  int l, b, r, t;
};

// What the desktop's chooser asks the user for (widget_hooks::choose_path).
enum choose_path_mode { choose_file = 0, choose_save_name = 1, choose_folder = 2 };

namespace widget_hook_defaults {
inline void fill_popup(int, int, int, int, const std::vector<popup_row>&) {}
inline void start_window(int) {}
inline void run_frame() {}
inline void key_hits(int*, int*, int*) {}
inline int choose_path(int, const char*, const char*, const char*, std::string&) { return 0; }
}  // namespace widget_hook_defaults

struct widget_hooks {
  // Fills the shell's pop-up menu slot with the list's box and rows; the
  // shell draws it on top of the frame and reports the row picked.
  void (*fill_popup)(int l, int b, int r, int t,
                     const std::vector<popup_row>& rows) = widget_hook_defaults::fill_popup;
  // Makes a window id current (the shell's window switch). Without a shell no
  // window becomes current, so a modal window's loop ends before it starts.
  void (*start_window)(int id) = widget_hook_defaults::start_window;
  // One frame of the shell: events, hover help, menus, the buffer swap.
  void (*run_frame)() = widget_hook_defaults::run_frame;
  // Whether Return or Enter, Escape, and Backspace or Delete went down this
  // frame with no widget taking them; untouched when nothing tells.
  void (*key_hits)(int* return_hit, int* escape_hit,
                   int* delete_hit) = widget_hook_defaults::key_hits;
  // The desktop's chooser, for a choose_path_mode;
  // folder (or null) is where it starts. 1 with the path chosen in path, 0
  // on cancel or failure with path unchanged. The shell's window stays alive
  // while it is open. Without a shell every choice is a cancel.
  int (*choose_path)(int mode, const char* message, const char* button, const char* folder,
                     std::string& path) = widget_hook_defaults::choose_path;
};

extern widget_hooks g_widget_hooks;
