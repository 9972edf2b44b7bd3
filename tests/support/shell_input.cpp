// Opening the program's window for tests, and SDL input events placed in
// the current window's units.
#include "tests/support/shell_input.h"

#include <cstring>

#include "core/globals.h"
#include "platform/frame.h"
#include "platform/menus.h"
#include "platform/window.h"

namespace testing_support {

bool open_shell_window(int pixel_dx, int pixel_dy, const char** error) {
  mnw.pixel_dx = pixel_dx;
  mnw.pixel_dy = pixel_dy;
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

}  // namespace testing_support
