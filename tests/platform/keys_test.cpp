// Key translation and key bindings: SDL events pushed through the frame's
// real pump (offscreen window, SDL's default US keymap), read back from what
// the frame and the bindings made of them.
//
// Contents
//   [SECTION] Helpers and the fixture
//   [SECTION] Key events
//   [SECTION] Bindings
//   [SECTION] Modal windows and redraws
//   [SECTION] Editing bindings
//   [SECTION] Names
#include "platform/keys/keys.h"

#include <gtest/gtest.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/commands.h"
#include "core/globals.h"
#include "platform/frame.h"
#include "platform/menus.h"
#include "platform/window.h"
#include "tests/support/shell_input.h"
#include "widgets/focus.h"

namespace {

// [SECTION] Helpers and the fixture

// What the bindings did, in order: (command, phase).
std::vector<std::pair<int, int>> g_ran;

class Keys : public ::testing::Test {
 protected:
  void SetUp() override {
    mnw.pixel_dx = 1024;
    mnw.pixel_dy = 768;
    ASSERT_EQ(MACIBM_make_context(0), 1) << SDL_GetError();
    MACIBM_clear_menus(1);
    mnw.cur_window = -1;
    MACIBM_startwind(-1);
    MACIBM_event_proc();
    commands_reset();
    keys.reset();
    g_ran.clear();
    cmnd.action = [](int command, cmnd_class::phase what) { g_ran.push_back({command, what}); };
  }
  void TearDown() override {
    commands_reset();
    MACIBM_nuke_context(0);
    PLAT_video_quit();
  }

  static void push_key(Uint32 type, SDL_Scancode s, Uint16 mod = 0, bool repeat = false) {
    testing_support::push_key(type, s, mod, repeat);
  }
  static void push_text(const char* utf8) { testing_support::push_text(utf8); }
  // One key-down (with the text the layout would type) handled in a frame.
  static void press(SDL_Scancode s, Uint16 mod = 0, const char* text = nullptr) {
    push_key(SDL_KEYDOWN, s, mod);
    if (text) push_text(text);
    MACIBM_event_proc();
  }
  static void release(SDL_Scancode s, Uint16 mod = 0) {
    push_key(SDL_KEYUP, s, mod);
    MACIBM_event_proc();
  }
  static int bind(int vkey, int flags, const char* path) {
    const int command = cmnd.add_cmd(path, "");
    keys.bindings.push_back({vkey, flags, command, 0});
    return command;
  }
};

// [SECTION] Key events

TEST_F(Keys, EventsBecomeVirtualKeysCharactersFlagsAndHitFlags) {
  enum { R = 1, E = 2, D = 4 };  // return, escape, delete hit
  struct {
    const char* what;
    SDL_Scancode scancode;
    Uint16 mod;
    const char* text;
    int vkey, c, flags, hits;
  } cases[] = {
      {"letter", SDL_SCANCODE_A, 0, "a", VYKO_VK_A, 'a', 0, 0},
      {"shifted letter", SDL_SCANCODE_A, KMOD_LSHIFT, "A", VYKO_VK_A, 'A', 1, 0},
      {"Command swallows the text", SDL_SCANCODE_A, KMOD_LGUI, "a", VYKO_VK_A, 0, 0, 0},
      {"left Alt is Option", SDL_SCANCODE_A, KMOD_LALT, "a", VYKO_VK_A, 0, 2, 0},
      {"AltGr types", SDL_SCANCODE_A, KMOD_RALT, "\xC3\xA6", VYKO_VK_A, 0xE6, 0, 0},
      {"beyond Latin-1 dropped", SDL_SCANCODE_E, KMOD_RALT, "\xE2\x82\xAC", VYKO_VK_E, 0, 0, 0},
      {"Control and Shift", SDL_SCANCODE_A, KMOD_LCTRL | KMOD_LSHIFT, nullptr, VYKO_VK_A, 0, 5, 0},
      {"space", SDL_SCANCODE_SPACE, 0, " ", VYKO_VK_SPACE, ' ', 0, 0},
      {"digit", SDL_SCANCODE_2, 0, "2", VYKO_VK_2, '2', 0, 0},
      {"semicolon by the layout", SDL_SCANCODE_SEMICOLON, 0, ";", VYKO_VK_SEMICOLON, ';', 0, 0},
      {"minus by the key map", SDL_SCANCODE_MINUS, 0, "-", VYKO_VK_MINUS, '-', 0, 0},
      {"keypad digit with Num Lock", SDL_SCANCODE_KP_8, KMOD_NUM, "8", VYKO_VK_NUMPAD8, '8', 0, 0},
      {"keypad digit without", SDL_SCANCODE_KP_8, 0, nullptr, VYKO_VK_NUMPAD8, 0, 0, 0},
      {"keypad plus", SDL_SCANCODE_KP_PLUS, 0, "+", VYKO_VK_ADD, '+', 0, 0},
      {"F13 is no letter", SDL_SCANCODE_F13, 0, nullptr, 0, 0, 0, 0},
      {"F1", SDL_SCANCODE_F1, 0, nullptr, VYKO_VK_F1, 0, 0, 0},
      {"Return", SDL_SCANCODE_RETURN, 0, nullptr, VYKO_VK_RETURN, 13, 0, R},
      {"keypad Enter", SDL_SCANCODE_KP_ENTER, 0, nullptr, VYKO_VK_NUMPAD_ENT, 3, 0, 0},
      {"Escape", SDL_SCANCODE_ESCAPE, 0, nullptr, VYKO_VK_ESCAPE, 27, 0, E},
      {"Backspace", SDL_SCANCODE_BACKSPACE, 0, nullptr, VYKO_VK_BACK, 8, 0, D},
      {"forward Delete", SDL_SCANCODE_DELETE, 0, nullptr, VYKO_VK_DELETE, 127, 0, D},
      {"Tab", SDL_SCANCODE_TAB, 0, nullptr, VYKO_VK_TAB, 9, 0, 0},
      {"Shift-Tab", SDL_SCANCODE_TAB, KMOD_RSHIFT, nullptr, VYKO_VK_TAB, 9, 1, 0},
      {"Left", SDL_SCANCODE_LEFT, 0, nullptr, VYKO_VK_LEFT, 28, 0, 0},
      {"Down", SDL_SCANCODE_DOWN, 0, nullptr, VYKO_VK_DOWN, 31, 0, 0},
      {"Home", SDL_SCANCODE_HOME, 0, nullptr, VYKO_VK_HOME, 1, 0, 0},
      {"End", SDL_SCANCODE_END, 0, nullptr, VYKO_VK_END, 4, 0, 0},
      {"Page Up", SDL_SCANCODE_PAGEUP, 0, nullptr, VYKO_VK_PRIOR, 11, 0, 0},
      {"Page Down", SDL_SCANCODE_PAGEDOWN, 0, nullptr, VYKO_VK_NEXT, 12, 0, 0},
      {"Return with Control", SDL_SCANCODE_RETURN, KMOD_LCTRL, nullptr, VYKO_VK_RETURN, 0, 4, R},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    keys.last_vkey = keys.last_flags = -1;
    mnw.key_char = 0;
    press(c.scancode, c.mod, c.text);
    EXPECT_EQ(keys.last_vkey, c.vkey);
    EXPECT_EQ(mnw.key_char, c.c);
    EXPECT_EQ(keys.last_flags, c.flags);
    EXPECT_EQ(mnw.key_hit, 1);
    EXPECT_EQ(mnw.key_held, 1);
    EXPECT_EQ(return_hit, (c.hits & R) ? 1 : 0);
    EXPECT_EQ(escape_hit, (c.hits & E) ? 1 : 0);
    EXPECT_EQ(delete_hit, (c.hits & D) ? 1 : 0);
    release(c.scancode, c.mod);
    EXPECT_EQ(mnw.key_held, 0);
    EXPECT_EQ(mnw.key_hit, 0);
    EXPECT_EQ(return_hit + escape_hit + delete_hit, 0) << "a key-up sets no hit flag";
  }
}

TEST_F(Keys, ModifierAndLockKeysAloneAreNoKeyEvents) {
  for (SDL_Scancode s :
       {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RCTRL, SDL_SCANCODE_LALT, SDL_SCANCODE_RALT,
        SDL_SCANCODE_LGUI, SDL_SCANCODE_CAPSLOCK, SDL_SCANCODE_NUMLOCKCLEAR, SDL_SCANCODE_MODE}) {
    keys.last_vkey = -1;
    press(s);
    EXPECT_EQ(mnw.key_hit, 0) << SDL_GetScancodeName(s);
    EXPECT_EQ(keys.last_vkey, -1) << SDL_GetScancodeName(s);
    release(s);
  }
}

TEST_F(Keys, TextWithoutAKeyTypesOneKeyPerCharacter) {
  // Dead keys and input methods deliver text alone; it carries no key.
  keys.last_vkey = -1;
  push_text("\xC3\xA9");
  MACIBM_event_proc();
  EXPECT_EQ(mnw.key_char, 0xE9);
  EXPECT_EQ(keys.last_vkey, 0);
  EXPECT_EQ(mnw.key_hit, 1);
  EXPECT_EQ(mnw.key_held, 0) << "no key-up will follow";

  // Every character is a key of its own; a bound key of the same letter
  // does not run from text.
  const int command = bind(VYKO_VK_B, 0, "test/b");
  push_text("xb");
  MACIBM_event_proc();
  EXPECT_EQ(mnw.key_char, 'b');
  EXPECT_TRUE(g_ran.empty());

  // The text that follows a key-down belongs to it; more characters in the
  // same text are keys of their own.
  push_key(SDL_KEYDOWN, SDL_SCANCODE_B);
  push_text("bc");
  MACIBM_event_proc();
  EXPECT_EQ(mnw.key_char, 'c');
  ASSERT_FALSE(g_ran.empty());
  EXPECT_EQ(g_ran[0], std::make_pair(command, static_cast<int>(cmnd_class::phase_press)));
  EXPECT_EQ(std::count(g_ran.begin(), g_ran.end(),
                       std::make_pair(command, static_cast<int>(cmnd_class::phase_press))),
            1);
  release(SDL_SCANCODE_B);
}

// [SECTION] Bindings

TEST_F(Keys, BindingsPressHoldAndReleaseTheirCommand) {
  const int shift_a = bind(VYKO_VK_A, vyko_ShiftFlag, "test/shift_a");
  const int plain_f1 = bind(VYKO_VK_F1, 0, "test/f1");
  using p = cmnd_class::phase;
  const std::vector<std::pair<int, int>> none;

  press(SDL_SCANCODE_A, 0, "a");
  EXPECT_EQ(g_ran, none) << "other modifiers do not press it";
  release(SDL_SCANCODE_A);

  // Held from the key-down on: pressed again in every frame, this one too.
  press(SDL_SCANCODE_A, KMOD_LSHIFT, "A");
  EXPECT_EQ(g_ran, (std::vector<std::pair<int, int>>{{shift_a, p::phase_press},
                                                     {shift_a, p::phase_always}}));
  g_ran.clear();
  // An auto-repeat is no new press.
  MACIBM_event_proc();
  push_key(SDL_KEYDOWN, SDL_SCANCODE_A, KMOD_LSHIFT, true);
  push_text("A");
  MACIBM_event_proc();
  EXPECT_EQ(g_ran, (std::vector<std::pair<int, int>>{{shift_a, p::phase_always},
                                                     {shift_a, p::phase_always}}));
  EXPECT_EQ(mnw.key_hit, 1) << "a repeat is a key hit";
  g_ran.clear();
  // Shift went up first: the key-up still ends it, once.
  release(SDL_SCANCODE_A, 0);
  EXPECT_EQ(g_ran, (std::vector<std::pair<int, int>>{{shift_a, p::phase_release}}));
  g_ran.clear();
  MACIBM_event_proc();
  EXPECT_EQ(g_ran, none);

  // A blocked key runs nothing; Return still runs.
  const int ret = bind(VYKO_VK_RETURN, 0, "test/return");
  mnw.keys_blocked = 1;
  press(SDL_SCANCODE_F1);
  press(SDL_SCANCODE_RETURN);
  mnw.keys_blocked = 0;
  EXPECT_EQ(g_ran.size(), 2u);
  EXPECT_EQ(g_ran.at(0), std::make_pair(ret, static_cast<int>(p::phase_press)));
  EXPECT_EQ(g_ran.at(1), std::make_pair(ret, static_cast<int>(p::phase_always)));
  release(SDL_SCANCODE_RETURN);
  release(SDL_SCANCODE_F1);
  g_ran.clear();

  // The open/save browser's window runs no binding.
  MACIBM_startwind(wind_browse_b);
  press(SDL_SCANCODE_F1);
  EXPECT_EQ(g_ran, none);
  EXPECT_EQ(keys.last_vkey, VYKO_VK_F1) << "yet the key is known";
  release(SDL_SCANCODE_F1);
  MACIBM_startwind(0);
  press(SDL_SCANCODE_F1);
  EXPECT_EQ(g_ran.at(0), std::make_pair(plain_f1, static_cast<int>(p::phase_press)));
  release(SDL_SCANCODE_F1);
}

// [SECTION] Modal windows and redraws

TEST_F(Keys, ReturnClosesTheInstallersModalWindowsOnly) {
  const int ret = bind(VYKO_VK_RETURN, 0, "test/return");
  struct {
    int window, after, hit;
  } cases[] = {{wind_prefs, 0, 0}, {wind_terms, 0, 0}, {wind_alert, wind_alert, 1}};
  for (const auto& c : cases) {
    MACIBM_startwind(c.window);
    g_ran.clear();
    press(SDL_SCANCODE_RETURN);
    EXPECT_EQ(mnw.cur_window, c.after) << c.window;
    EXPECT_EQ(return_hit, c.hit) << c.window;
    EXPECT_TRUE(g_ran.empty()) << "window " << c.window << " ran command " << ret;
    release(SDL_SCANCODE_RETURN);
  }
  // Keypad Enter is a key of its own: it closes nothing.
  MACIBM_startwind(wind_prefs);
  press(SDL_SCANCODE_KP_ENTER);
  EXPECT_EQ(mnw.cur_window, wind_prefs);
  release(SDL_SCANCODE_KP_ENTER);
}

TEST_F(Keys, AnExposeRedrawsWithoutSwitchingTheWindow) {
  menu[1519].parent = -1;
  menu[1519].l = menu[1519].b = 100;
  menu[1519].r = menu[1519].t = 200;
  mnw.open_menu = 1519;
  focus_id = 77;
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_EXPOSED;
  SDL_PushEvent(&e);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.open_menu, 1519) << "the pop-up stays open";
  EXPECT_EQ(menu[1519].l, 100);
  EXPECT_EQ(focus_id, 77) << "the focus stays";
  // A key typed just before it still arrives, with its text.
  push_key(SDL_KEYDOWN, SDL_SCANCODE_Q);
  push_text("q");
  SDL_PushEvent(&e);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.key_char, 'q');
  EXPECT_EQ(keys.last_vkey, VYKO_VK_Q);
  release(SDL_SCANCODE_Q);
}

// [SECTION] Editing bindings

TEST_F(Keys, EditsTakeEffectBetweenFramesOneKeyOneBinding) {
  const int first = bind(VYKO_VK_A, 0, "test/first");
  const int second = bind(VYKO_VK_B, 0, "test/second");
  press(SDL_SCANCODE_B, 0, "b");  // the second binding is now held
  g_ran.clear();

  keys.assign_key(1, VYKO_VK_A, 0);
  keys.add_binding();
  EXPECT_EQ(keys.bindings[1].vkey, VYKO_VK_B) << "nothing changes inside the frame";
  EXPECT_EQ(keys.bindings.size(), 2u);
  MACIBM_event_proc();
  ASSERT_EQ(keys.bindings.size(), 3u);
  EXPECT_EQ(keys.bindings[0].vkey, 0) << "A left the first binding";
  EXPECT_EQ(keys.bindings[0].command, first);
  EXPECT_EQ(keys.bindings[1].vkey, VYKO_VK_A);
  EXPECT_EQ(keys.bindings[2].vkey, 0);
  EXPECT_EQ(keys.bindings[2].command, cmnd.get_cmnd_by_name("sim/operation/none"));
  // The held binding was released as its key changed, and is held no more.
  ASSERT_FALSE(g_ran.empty());
  EXPECT_EQ(g_ran[0], std::make_pair(second, static_cast<int>(cmnd_class::phase_release)));
  EXPECT_EQ(keys.bindings[1].held, 0);
  g_ran.clear();
  release(SDL_SCANCODE_B);
  press(SDL_SCANCODE_A, 0, "a");
  EXPECT_EQ(g_ran.at(0), std::make_pair(second, static_cast<int>(cmnd_class::phase_press)));
  release(SDL_SCANCODE_A);

  // Stale indexes and unknown commands are dropped.
  keys.assign_key(7, VYKO_VK_C, 0);
  keys.assign_command(0, 9999);
  keys.assign_command(-1, first);
  MACIBM_event_proc();
  EXPECT_EQ(keys.bindings.size(), 3u);
  EXPECT_EQ(keys.bindings[0].command, first);
}

// [SECTION] Names

TEST_F(Keys, NamesOfKeysFlagsAndBindings) {
  EXPECT_EQ(keys_class::vkey_to_str(VYKO_VK_PRIOR), "PageUp");
  EXPECT_EQ(keys_class::vkey_to_str(VYKO_VK_BACKSLASH), "\\");
  EXPECT_EQ(keys_class::vkey_to_str(200), "<none>");
  EXPECT_EQ(keys_class::vkey_to_code(VYKO_VK_NUMPAD_ENT), "VYKO_VK_NUMPAD_ENT");
  EXPECT_EQ(keys_class::vkey_to_code(200), "200");
  EXPECT_EQ(keys_class::flag_to_str(0), "<none>");
  EXPECT_EQ(keys_class::flag_to_str(7), "SHIFT+ALT+CTRL");
  EXPECT_EQ(keys_class::flag_to_str(5 | vyko_DownFlag), "SHIFT+CTRL");
  EXPECT_EQ(keys_class::flag_to_code(0), "0");
  EXPECT_EQ(keys_class::flag_to_code(6), "vyko_OptionAltFlag+vyko_ControlFlag");
  EXPECT_EQ(keys_class::str_to_vkey("nUmPaD-eNtEr"), VYKO_VK_NUMPAD_ENT);
  EXPECT_EQ(keys_class::str_to_vkey("Numpad-"), 0);
  EXPECT_EQ(keys_class::str_to_flag("CTRL+SHIFT"), 5);
  EXPECT_EQ(keys_class::str_to_flag("alt"), 0);

  struct {
    int c, vkey, flags, found;
  } ascii[] = {{'}', VYKO_VK_RBRACE, 1, 1},
               {'q', VYKO_VK_Q, 0, 1},
               {13, VYKO_VK_RETURN, 0, 1},
               {'@', VYKO_VK_2, 1, 1},
               {29, VYKO_VK_RIGHT, 0, 1},
               {'~', VYKO_VK_BACKQUOTE, 1, 1},
               {127, 0, 0, 0},
               {0, 0, 0, 0}};
  for (const auto& a : ascii) {
    int vkey = -1, flags = -1;
    EXPECT_EQ(keys_class::ascii_to_vkey(a.c, vkey, flags), a.found) << a.c;
    EXPECT_EQ(vkey, a.vkey) << a.c;
    EXPECT_EQ(flags, a.flags) << a.c;
  }

  const int a = bind(VYKO_VK_A, 0, "test/a");
  const int f1 = bind(VYKO_VK_F1, 0, "test/f1");
  const int page = bind(VYKO_VK_PRIOR, 0, "test/page");
  const int chord = bind(VYKO_VK_A, 5, "test/chord");
  EXPECT_EQ(keys.get_key_for_cmnd(a), "a");
  EXPECT_EQ(keys.get_key_for_cmnd(f1), "f1");
  EXPECT_EQ(keys.get_key_for_cmnd(page), "pageUp");
  EXPECT_EQ(keys.get_key_for_cmnd(chord), "SHIFT+CTRL-a");
  EXPECT_EQ(keys.get_key_for_cmnd(cmnd.add_cmd("test/unbound", "")), "");
  EXPECT_EQ(keys.key_bound_to(VYKO_VK_A, 5), chord);
  EXPECT_EQ(keys.key_bound_to(VYKO_VK_A, 1), 0);

  // Reset: exactly the one default binding, the do-nothing command.
  keys.keys_io(0);
  ASSERT_EQ(keys.bindings.size(), 1u);
  EXPECT_EQ(keys.bindings[0].vkey, 0);
  EXPECT_EQ(keys.bindings[0].flags, 0);
  EXPECT_EQ(keys.bindings[0].command, cmnd.get_cmnd_by_name("sim/operation/none"));
  keys.bindings.clear();
  keys.keys_io(0);
  EXPECT_EQ(keys.bindings.size(), 1u);
}

}  // namespace
