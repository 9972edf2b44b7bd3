// Seams through which the drawing layer reaches the platform shell, installed
// by the shell at start-up (PLAT_install_hooks); until then each does nothing.
#pragma once

struct draw_hooks {
  // Shows what was drawn this frame.
  void (*swap_buffers)() = nullptr;
  // One start-up screen with a message (and a progress fraction, or null).
  void (*show_init)(const char* text, float* fraction) = nullptr;
};

extern draw_hooks g_draw_hooks;
