// SDL key events as key messages: the scancode gives the hardware key code,
// the keyboard layout the virtual key, and the text event that follows a
// key-down gives its character.
//
// Contents:
//   [SECTION] Scancodes and key codes
//   [SECTION] Key-downs and their text
//   [SECTION] The frame's events
#include "platform/keys/sdl_keys.h"

#include <SDL2/SDL.h>

#include <array>
#include <cstring>
#include <string>

#include "core/globals.h"
#include "platform/keys/keys.h"

namespace {

// [SECTION] Scancodes and key codes

// A text that came without a key gets a key code no key has.
constexpr int kNoKeyCode = 0xFF;

struct scancode_row {
  SDL_Scancode scancode;
  int key_code;
};

// Scancode -> hardware key code, where the keyboard the bindings were made
// for has the key. Modifier and lock keys are missing on purpose: alone they
// are not key events. Where two scancodes share a code, the first one is the
// key the layout is asked about.
constexpr scancode_row kScancodes[] = {
    {SDL_SCANCODE_A, 0},
    {SDL_SCANCODE_S, 1},
    {SDL_SCANCODE_D, 2},
    {SDL_SCANCODE_F, 3},
    {SDL_SCANCODE_H, 4},
    {SDL_SCANCODE_G, 5},
    {SDL_SCANCODE_Z, 6},
    {SDL_SCANCODE_X, 7},
    {SDL_SCANCODE_C, 8},
    {SDL_SCANCODE_V, 9},
    {SDL_SCANCODE_NONUSBACKSLASH, 10},
    {SDL_SCANCODE_B, 11},
    {SDL_SCANCODE_Q, 12},
    {SDL_SCANCODE_W, 13},
    {SDL_SCANCODE_E, 14},
    {SDL_SCANCODE_R, 15},
    {SDL_SCANCODE_Y, 16},
    {SDL_SCANCODE_T, 17},
    {SDL_SCANCODE_1, 18},
    {SDL_SCANCODE_2, 19},
    {SDL_SCANCODE_3, 20},
    {SDL_SCANCODE_4, 21},
    {SDL_SCANCODE_6, 22},
    {SDL_SCANCODE_5, 23},
    {SDL_SCANCODE_EQUALS, 24},
    {SDL_SCANCODE_9, 25},
    {SDL_SCANCODE_7, 26},
    {SDL_SCANCODE_MINUS, 27},
    {SDL_SCANCODE_8, 28},
    {SDL_SCANCODE_0, 29},
    {SDL_SCANCODE_RIGHTBRACKET, 30},
    {SDL_SCANCODE_O, 31},
    {SDL_SCANCODE_U, 32},
    {SDL_SCANCODE_LEFTBRACKET, 33},
    {SDL_SCANCODE_I, 34},
    {SDL_SCANCODE_P, 35},
    {SDL_SCANCODE_RETURN, 36},
    {SDL_SCANCODE_L, 37},
    {SDL_SCANCODE_J, 38},
    {SDL_SCANCODE_APOSTROPHE, 39},
    {SDL_SCANCODE_K, 40},
    {SDL_SCANCODE_SEMICOLON, 41},
    {SDL_SCANCODE_BACKSLASH, 42},
    {SDL_SCANCODE_NONUSHASH, 42},
    {SDL_SCANCODE_COMMA, 43},
    {SDL_SCANCODE_SLASH, 44},
    {SDL_SCANCODE_N, 45},
    {SDL_SCANCODE_M, 46},
    {SDL_SCANCODE_PERIOD, 47},
    {SDL_SCANCODE_TAB, 48},
    {SDL_SCANCODE_SPACE, 49},
    {SDL_SCANCODE_GRAVE, 50},
    {SDL_SCANCODE_BACKSPACE, 51},
    {SDL_SCANCODE_ESCAPE, 53},
    {SDL_SCANCODE_F17, 64},
    {SDL_SCANCODE_KP_PERIOD, 65},
    {SDL_SCANCODE_KP_MULTIPLY, 67},
    {SDL_SCANCODE_KP_PLUS, 69},
    {SDL_SCANCODE_KP_CLEAR, 71},
    {SDL_SCANCODE_CLEAR, 71},
    {SDL_SCANCODE_KP_DIVIDE, 75},
    {SDL_SCANCODE_KP_ENTER, 76},
    {SDL_SCANCODE_KP_MINUS, 78},
    {SDL_SCANCODE_F18, 79},
    {SDL_SCANCODE_F19, 80},
    {SDL_SCANCODE_KP_EQUALS, 81},
    {SDL_SCANCODE_KP_0, 82},
    {SDL_SCANCODE_KP_1, 83},
    {SDL_SCANCODE_KP_2, 84},
    {SDL_SCANCODE_KP_3, 85},
    {SDL_SCANCODE_KP_4, 86},
    {SDL_SCANCODE_KP_5, 87},
    {SDL_SCANCODE_KP_6, 88},
    {SDL_SCANCODE_KP_7, 89},
    {SDL_SCANCODE_F20, 90},
    {SDL_SCANCODE_KP_8, 91},
    {SDL_SCANCODE_KP_9, 92},
    {SDL_SCANCODE_INTERNATIONAL3, 93},
    {SDL_SCANCODE_INTERNATIONAL1, 94},
    {SDL_SCANCODE_KP_COMMA, 95},
    {SDL_SCANCODE_F5, 96},
    {SDL_SCANCODE_F6, 97},
    {SDL_SCANCODE_F7, 98},
    {SDL_SCANCODE_F3, 99},
    {SDL_SCANCODE_F8, 100},
    {SDL_SCANCODE_F9, 101},
    {SDL_SCANCODE_F11, 103},
    {SDL_SCANCODE_F13, 105},
    {SDL_SCANCODE_PRINTSCREEN, 105},
    {SDL_SCANCODE_F16, 106},
    {SDL_SCANCODE_F14, 107},
    {SDL_SCANCODE_SCROLLLOCK, 107},
    {SDL_SCANCODE_F10, 109},
    {SDL_SCANCODE_F12, 111},
    {SDL_SCANCODE_F15, 113},
    {SDL_SCANCODE_PAUSE, 113},
    {SDL_SCANCODE_INSERT, 114},
    {SDL_SCANCODE_HELP, 114},
    {SDL_SCANCODE_HOME, 115},
    {SDL_SCANCODE_PAGEUP, 116},
    {SDL_SCANCODE_DELETE, 117},
    {SDL_SCANCODE_F4, 118},
    {SDL_SCANCODE_END, 119},
    {SDL_SCANCODE_F2, 120},
    {SDL_SCANCODE_PAGEDOWN, 121},
    {SDL_SCANCODE_F1, 122},
    {SDL_SCANCODE_LEFT, 123},
    {SDL_SCANCODE_RIGHT, 124},
    {SDL_SCANCODE_DOWN, 125},
    {SDL_SCANCODE_UP, 126},
};

struct code_tables {
  std::array<int, SDL_NUM_SCANCODES> key_code;  // -1: not a key event
  std::array<SDL_Scancode, 256> scancode;       // SDL_SCANCODE_UNKNOWN: none
};

constexpr code_tables make_tables() {
  code_tables made{};
  for (int& code : made.key_code) code = -1;
  for (SDL_Scancode& s : made.scancode) s = SDL_SCANCODE_UNKNOWN;
  for (const scancode_row& r : kScancodes) {
    made.key_code[r.scancode] = r.key_code;
    if (made.scancode[r.key_code] == SDL_SCANCODE_UNKNOWN) made.scancode[r.key_code] = r.scancode;
  }
  return made;
}

constexpr code_tables kTables = make_tables();

// Keys whose character is a control character of the text engine; they
// take no text event.
int control_character(SDL_Scancode s) {
  switch (s) {
    case SDL_SCANCODE_RETURN:
      return mac_return;
    case SDL_SCANCODE_KP_ENTER:
      return mac_enter;
    case SDL_SCANCODE_TAB:
      return mac_tab;
    case SDL_SCANCODE_BACKSPACE:
      return mac_back;
    case SDL_SCANCODE_ESCAPE:
      return mac_escape;
    case SDL_SCANCODE_LEFT:
      return mac_left;
    case SDL_SCANCODE_RIGHT:
      return mac_right;
    case SDL_SCANCODE_UP:
      return mac_up;
    case SDL_SCANCODE_DOWN:
      return mac_down;
    case SDL_SCANCODE_DELETE:
      return mac_delete;
    case SDL_SCANCODE_HOME:
      return mac_home;
    case SDL_SCANCODE_END:
      return mac_end;
    case SDL_SCANCODE_PAGEUP:
      return mac_page_up;
    case SDL_SCANCODE_PAGEDOWN:
      return mac_page_down;
    default:
      return -1;
  }
}

// AltGr (right Alt, Mode) types characters; only the left Alt is Option.
long modifier_bits(Uint16 mod) {
  long bits = 0;
  if (mod & KMOD_GUI) bits |= key_mod_command;
  if (mod & KMOD_SHIFT) bits |= key_mod_shift;
  if (mod & KMOD_CAPS) bits |= key_mod_caps_lock;
  if (mod & KMOD_LALT) bits |= key_mod_option;
  if (mod & KMOD_CTRL) bits |= key_mod_control;
  return bits;
}

// [SECTION] Key-downs and their text

struct waiting_key {
  bool waiting = false;
  long kind = 0;
  int key_code = 0;
  long modifiers = 0;
  SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN;
};

// What the translation keeps between events.
struct key_events_state {
  waiting_key waiting;
  // A chorded key-down was delivered without its text; X11 still sends the
  // text of Alt+letter, which must not type.
  bool swallow_text = false;
  // The character each key went down with, which its key-up carries again.
  std::array<unsigned char, SDL_NUM_SCANCODES> down_char{};

  void reset() { *this = key_events_state(); }
};

key_events_state g_key_events;
waiting_key& g_waiting = g_key_events.waiting;
bool& g_swallow_text = g_key_events.swallow_text;
std::array<unsigned char, SDL_NUM_SCANCODES>& g_down_char = g_key_events.down_char;

void deliver(long kind, int key_code, int c, long modifiers, bool from_key) {
  keys.handle_key_raw(kind, key_message(key_code, c), modifiers);
  if (kind == key_event_up) {
    mnw.key_held = 0;
    return;
  }
  mnw.key_hit = 1;
  // A text without a key has no key-up to end it.
  if (kind == key_event_down && from_key) mnw.key_held = 1;
}

void deliver_waiting(int c) {
  if (!g_waiting.waiting) return;
  g_waiting.waiting = false;
  g_down_char[g_waiting.scancode] = static_cast<unsigned char>(c);
  deliver(g_waiting.kind, g_waiting.key_code, c, g_waiting.modifiers, true);
}

// Code points of a UTF-8 text, in order; malformed bytes are skipped.
template <typename F>
void each_code_point(const char* text, F&& f) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p) {
    unsigned cp = *p;
    int extra = cp < 0x80             ? 0
                : (cp & 0xE0) == 0xC0 ? 1
                : (cp & 0xF0) == 0xE0 ? 2
                : (cp & 0xF8) == 0xF0 ? 3
                                      : -1;
    if (extra < 0) {
      ++p;
      continue;
    }
    if (extra) cp &= 0x3F >> extra;
    int i = 1;
    for (; i <= extra && (p[i] & 0xC0) == 0x80; ++i) cp = (cp << 6) | (p[i] & 0x3F);
    p += i;
    if (i <= extra) continue;
    f(cp);
  }
}

SDL_Scancode scancode_of(const SDL_KeyboardEvent& key) {
  // Events made by other programs may name only the key symbol, or carry
  // anything at all.
  const SDL_Scancode s = key.keysym.scancode;
  if (s > SDL_SCANCODE_UNKNOWN && s < SDL_NUM_SCANCODES) return s;
  if (s != SDL_SCANCODE_UNKNOWN) return SDL_SCANCODE_UNKNOWN;
  return SDL_GetScancodeFromKey(key.keysym.sym);
}

void key_down(const SDL_KeyboardEvent& key) {
  const SDL_Scancode s = scancode_of(key);
  const int key_code = kTables.key_code[s];
  if (key_code < 0) return;
  const long modifiers = modifier_bits(key.keysym.mod);
  const long kind = key.repeat ? key_event_repeat : key_event_down;
  const int control = control_character(s);
  if (control >= 0) {
    g_down_char[s] = static_cast<unsigned char>(control);
    deliver(kind, key_code, control, modifiers, true);
    return;
  }
  if (modifiers & (key_mod_command | key_mod_option | key_mod_control)) {
    g_down_char[s] = 0;
    deliver(kind, key_code, 0, modifiers, true);
    g_swallow_text = true;
    return;
  }
  g_waiting = {true, kind, key_code, modifiers, s};
}

void key_up(const SDL_KeyboardEvent& key) {
  const SDL_Scancode s = scancode_of(key);
  const int key_code = kTables.key_code[s];
  if (key_code < 0) return;
  const int c = g_down_char[s];
  g_down_char[s] = 0;
  deliver(key_event_up, key_code, c, modifier_bits(key.keysym.mod), true);
}

void text(const char* utf8) {
  if (g_swallow_text) {
    g_swallow_text = false;
    return;
  }
  each_code_point(utf8, [](unsigned cp) {
    // Only Latin-1 has one byte to give; anything beyond it is dropped.
    const int c = cp <= 0xFF ? static_cast<int>(cp) : 0;
    if (g_waiting.waiting) {
      deliver_waiting(c);
    } else if (c) {
      deliver(key_event_down, kNoKeyCode, c, modifier_bits(SDL_GetModState()), false);
    }
  });
}

}  // namespace

// [SECTION] The frame's events

int PLAT_layout_vkey(int key_code) {
  if (key_code < 0 || key_code > 255) return 0;
  const SDL_Scancode s = kTables.scancode[key_code];
  if (s == SDL_SCANCODE_UNKNOWN) return 0;
  // Keypad and function keys have symbols past 127 whose low byte would
  // read as a letter.
  const SDL_Keycode sym = SDL_GetKeyFromScancode(s);
  if (sym <= 0 || sym >= 128) return 0;
  for (const mac_mapping_row& m : kMacMappings)
    if (m.character == sym) return m.vkey;
  return 0;
}

bool PLAT_key_event(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
      deliver_waiting(0);
      g_swallow_text = false;
      key_down(e.key);
      return true;
    case SDL_KEYUP:
      deliver_waiting(0);
      g_swallow_text = false;
      key_up(e.key);
      return true;
    case SDL_TEXTINPUT:
      // Pushed events need not end their text; SDL's own always do.
      text(std::string(e.text.text, strnlen(e.text.text, sizeof e.text.text)).c_str());
      return true;
    default:
      PLAT_key_flush();
      return false;
  }
}

void PLAT_key_flush() {
  deliver_waiting(0);
  g_swallow_text = false;
}

void PLAT_key_reset() { g_key_events.reset(); }
