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
};

extern widget_hooks g_widget_hooks;
