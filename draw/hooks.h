// Seams through which the drawing layer reaches the platform shell, installed
// by the shell at start-up (PLAT_install_hooks); until then each is a default
// that does nothing, so a caller never asks whether one is installed.
#pragma once

namespace draw_hook_defaults {
inline void swap_buffers() {}
inline void show_init(const char*, float*) {}
}  // namespace draw_hook_defaults

struct draw_hooks {
  // Shows what was drawn this frame.
  void (*swap_buffers)() = draw_hook_defaults::swap_buffers;
  // One start-up screen with a message (and a progress fraction, or null).
  void (*show_init)(const char* text, float* fraction) = draw_hook_defaults::show_init;
};

extern draw_hooks g_draw_hooks;
