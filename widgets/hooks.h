// Seams through which the widgets reach the platform shell, installed by the
// shell at start-up (PLAT_install_hooks); until then each does nothing.
#pragma once

#include <string>
#include <vector>

// One row of a pop-up list, in units of the current window.
struct popup_row {
  std::string text;
  int l, b, r, t;
};

struct widget_hooks {
  // Fills the shell's pop-up menu slot with the list's box and rows; the
  // shell draws it on top of the frame and reports the row picked.
  void (*fill_popup)(int l, int b, int r, int t, const std::vector<popup_row>& rows) = nullptr;
  // Makes a window id current (the shell's window switch).
  void (*start_window)(int id) = nullptr;
  // One frame of the shell: events, hover help, menus, the buffer swap.
  void (*run_frame)() = nullptr;
  // Whether Return or Enter, Escape, and Backspace or Delete went down this
  // frame with no widget taking them.
  void (*key_hits)(int* return_hit, int* escape_hit, int* delete_hit) = nullptr;
  // The desktop's chooser: mode 0 a file, 1 a name to save, 2 a folder;
  // folder (or null) is where it starts. 1 with the path chosen in path, 0
  // on cancel or failure with path unchanged. The shell's window stays alive
  // while it is open.
  int (*choose_path)(int mode, const char* message, const char* button, const char* folder,
                     std::string& path) = nullptr;
};

extern widget_hooks g_widget_hooks;
