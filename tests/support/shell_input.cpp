// Opening the program's window for tests, and SDL input events placed in
// the current window's units.
#include "tests/support/shell_input.h"

#include <GL/gl.h>

#include <cstring>

#include "core/globals.h"
#include "core/hooks.h"
#include "draw/render_state.h"
#include "draw/tman.h"
#include "platform/frame.h"
#include "platform/menus.h"
#include "platform/window.h"
#include "TEX/image_desc.h"
#include "TEX/png_io.h"

namespace testing_support {

bool open_shell_window(int pixel_dx, int pixel_dy, const char** error) {
  mnw.pixel_dx = pixel_dx;
  mnw.pixel_dy = pixel_dy;
  // A new context starts from OpenGL's defaults and holds none of the
  // textures an earlier window's records name.
  OGL_reset_state();
  tman.reset();
  if (MACIBM_make_context(0) != 1) {
    if (error) *error = SDL_GetError();
    return false;
  }
  MACIBM_clear_menus(1);
  mnw.cur_window = -1;
  MACIBM_startwind(-1);
  MACIBM_event_proc();
  return true;
}

void close_shell_window() {
  MACIBM_nuke_context(0);
  PLAT_video_quit();
}

void push_button(Uint32 type, float x, float y) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.button.button = SDL_BUTTON_LEFT;
  e.button.x = static_cast<int>(x + mnw.origin_x);
  e.button.y = static_cast<int>(mnw.pixel_dy - (y + mnw.origin_y));
  SDL_PushEvent(&e);
}

void push_click(float x, float y) {
  push_button(SDL_MOUSEBUTTONDOWN, x, y);
  push_button(SDL_MOUSEBUTTONUP, x, y);
}

void push_key(Uint32 type, SDL_Scancode s, Uint16 mod, bool repeat) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.keysym.scancode = s;
  e.key.keysym.sym = SDL_GetKeyFromScancode(s);
  e.key.keysym.mod = mod;
  e.key.repeat = repeat ? 1 : 0;
  SDL_PushEvent(&e);
}

void push_keystroke(SDL_Scancode s, Uint16 mod) {
  push_key(SDL_KEYDOWN, s, mod);
  push_key(SDL_KEYUP, s, mod);
}

void push_text(const char* utf8) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_TEXTINPUT;
  strncpy(e.text.text, utf8, sizeof e.text.text - 1);
  SDL_PushEvent(&e);
}

void push_quit() {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

void run_frames(std::vector<std::function<void()>> steps, const std::function<void()>& window) {
  static std::vector<std::function<void()>>* s_steps;
  static size_t s_frame;
  static void (*s_pulse)(float);
  s_steps = &steps;
  s_frame = 0;
  s_pulse = g_core_hooks.pulse;
  g_core_hooks.pulse = [](float level) {
    s_pulse(level);
    if (s_frame < s_steps->size()) (*s_steps)[s_frame]();
    ++s_frame;
  };
  window();
  g_core_hooks.pulse = s_pulse;
}

bool save_back_buffer(const std::string& path, int x, int y, int w, int h) {
  std::vector<unsigned char> pixels(size_t(w) * size_t(h) * 4);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  // Drawn over nothing, the window's own pixels are opaque.
  for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
  TEX_image_desc desc;
  desc.format = GL_RGBA;
  desc.dx = w;
  desc.dy = h;
  return TEX_save_png(path.c_str(), desc, pixels.data()) == 1;
}

}  // namespace testing_support
