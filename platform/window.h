// The one application window and its OpenGL context, and the extra contexts
// that loader threads share objects through.
#pragma once

// slot 0 the main window, 1 a second window right of it (never made here).
// 1 when the window and a current context stand, else 0.
int MACIBM_make_context(int slot);
// Disposes the window of the slot (and its context).
void MACIBM_nuke_context(int slot);
// Shows what was drawn this frame.
void MACIBM_swap_buffers();
// The X window of the main window, so another program's dialog can stand
// over it; 0 without one (no window, or not on X).
unsigned long PLAT_x11_window_id();

// Brings up the window system; 0 when it cannot run (no display).
int PLAT_video_init();
// Takes the window system down again after the windows are gone.
void PLAT_video_quit();
// The monitor's size in pixels and colour depth; 0 when unknown.
int PLAT_monitor_size(int* width, int* height, int* depth);

// Whether a window of that pixel size, moved to y 40 below a title bar, fits
// a monitor of that size; one that does not is made borderless at the top left.
int PLAT_window_fits(int pixel_dx, int pixel_dy, int mon_x, int mon_y);

// A context sharing objects with the main one, on its own hidden 1 by 1
// window, made on the main thread (which keeps its own context current);
// null when there is no main context or creation fails.
void* PLAT_make_loader_context();
// Makes a loader context current on the calling thread; 1 on success.
int PLAT_set_loader_context(void* loader);
// Deletes a loader context and its window; current on no thread by then.
// Accepts null.
void PLAT_free_loader_context(void* loader);

// The window module's state: the two windows and their contexts (slot 0 and
// 1), the attributes the first context was made with, and the monitor's size
// as the start-up found it. reset() disposes both windows first.
struct window_state {
  struct SDL_Window* window[2] = {nullptr, nullptr};
  void* context[2] = {nullptr, nullptr};  // SDL_GLContext
  // What the pixel-format record of the mnw block points at, so a second
  // window can be made the same way.
  struct pixel_format_rec {
    int depth_bits = 0;
    int samples = 0;
  } format;
  int mon_x_res_now = 0, mon_y_res_now = 0;

  void reset();
};
extern window_state g_window_state;
extern int &g_mon_x_res_now, &g_mon_y_res_now;
