// The key-assignment window driven as its owner runs it: clicks and keys
// pushed through SDL's queue into the real frame, the window drawn after
// each frame on an offscreen context, the binding table read back.
#include <gtest/gtest.h>
#include <SDL2/SDL.h>

#include <string>

#include "core/commands.h"
#include "core/globals.h"
#include "platform/frame.h"
#include "platform/keys/keys.h"
#include "tests/support/shell_input.h"

namespace {

// Where the window puts things in a 1024 by 768 window: the list's rows,
// the add button, the scroll bar, and the browser's two columns.
constexpr float kRowX = 88, kFirstRowY = 689;
constexpr float kAddX = 512, kAddY = 30;
constexpr float kScrollX = 405;
constexpr float kGroupsX = 438, kItemsX = 632, kBrowserTop = 685;

class KeysWind : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* error = "";
    ASSERT_TRUE(testing_support::open_shell_window(1024, 768, &error)) << error;
    keys.reset();
  }
  void TearDown() override {
    testing_support::close_shell_window();
    keys.reset();
  }

  // One pass of the window's owner: a frame, then the window's contents.
  static void step() {
    MACIBM_event_proc();
    keys.keys_wind();
  }
  // A click, then one more pass so what it asked for has landed.
  static void click(float x, float y) {
    testing_support::push_click(x, y);
    step();
    step();
  }
  static void click_row(int r) { click(kRowX, kFirstRowY - 20.0f * float(r)); }
  // A check box of the browser: its n-th line from the top.
  static void tick(float x, int n) { click(x, kBrowserTop - 15.0f * float(n) + 3); }
  // A key typed while the window shows, then one more pass so the edit the
  // window asked for has landed.
  static void type_key(SDL_Scancode s, Uint16 mod = 0) {
    testing_support::push_keystroke(s, mod);
    step();
    step();
  }
  static void unbound(int n) { keys.bindings.assign(size_t(n), key_binding{}); }
  static std::string path_of(int binding) {
    return cmnd.path.at(keys.bindings.at(binding).command);
  }
};

TEST_F(KeysWind, AddingPastAFullListScrollsAndTheRowPressedIsTheOneShown) {
  unbound(35);
  step();
  click(kAddX, kAddY);
  ASSERT_EQ(keys.bindings.size(), 36u);
  EXPECT_EQ(path_of(35), "sim/operation/none");
  // The last 34 are shown, so the top row is binding 2.
  click_row(0);
  testing_support::push_keystroke(SDL_SCANCODE_F5);
  step();
  EXPECT_EQ(keys.bindings[2].vkey, 0) << "the table never changes inside a frame";
  step();
  for (int i = 0; i < 36; ++i) {
    EXPECT_EQ(keys.bindings[i].vkey, i == 2 ? VYKO_VK_F5 : 0) << "binding " << i;
  }
}

TEST_F(KeysWind, ScrolledSelectionTogglesAndTakesOneKeyFromEveryOtherBinding) {
  unbound(50);
  keys.bindings[40] = {VYKO_VK_A, vyko_ShiftFlag, 0, 0};
  keys.bindings[41] = {VYKO_VK_A, 0, 0, 0};
  step();
  click(kScrollX, 300);  // on the track below the thumb: ten rows down
  click_row(3);          // binding 13
  click_row(3);          // pressed again: nothing selected
  type_key(SDL_SCANCODE_F2);
  for (const key_binding& b : keys.bindings) EXPECT_NE(b.vkey, VYKO_VK_F2);

  click_row(3);
  type_key(SDL_SCANCODE_A, KMOD_LSHIFT);
  EXPECT_EQ(keys.bindings[13].vkey, VYKO_VK_A);
  EXPECT_EQ(keys.bindings[13].flags, vyko_ShiftFlag);
  EXPECT_EQ(keys.bindings[40].vkey, 0) << "Shift+A left the binding that had it";
  EXPECT_EQ(keys.bindings[40].flags, 0);
  EXPECT_EQ(keys.bindings[41].vkey, VYKO_VK_A) << "plain A is another key";
  // The selection stays: the next key replaces the first.
  type_key(SDL_SCANCODE_B, KMOD_LCTRL);
  EXPECT_EQ(keys.bindings[13].vkey, VYKO_VK_B);
  EXPECT_EQ(keys.bindings[13].flags, vyko_ControlFlag);
}

TEST_F(KeysWind, ASelectionPastTheTableIsDroppedNotRevived) {
  unbound(6);
  step();
  click_row(5);
  keys.keys_io(0);  // the table is cut to its one default binding
  step();
  unbound(6);  // and grows again
  step();
  type_key(SDL_SCANCODE_F3);
  for (const key_binding& b : keys.bindings) EXPECT_NE(b.vkey, VYKO_VK_F3);
}

TEST_F(KeysWind, TheBrowserAssignsClimbsAndDescendsTheCommandTree) {
  for (const char* p :
       {"test/alpha/one", "test/alpha/two", "test/beta/deep/four", "test/beta/three"})
    cmnd.add_cmd(p, "");
  unbound(1);
  keys.bindings[0].command = cmnd.get_cmnd_by_name("test/alpha/one");
  step();
  click_row(0);
  // Groups: "..", alpha/, beta/. Items of test/alpha/: one, two.
  tick(kItemsX, 1);
  EXPECT_EQ(path_of(0), "test/alpha/two");
  tick(kGroupsX, 2);  // beta/: its first command
  EXPECT_EQ(path_of(0), "test/beta/three");
  tick(kItemsX, 0);  // deep/: opened, its first command
  EXPECT_EQ(path_of(0), "test/beta/deep/four");
  // Groups of test/beta/deep/: "..", deep/.
  tick(kGroupsX, 0);  // ".." back to test/beta/
  EXPECT_EQ(path_of(0), "test/beta/three");
  tick(kGroupsX, 0);  // ".." to test/: no command of its own
  EXPECT_EQ(path_of(0), "test/beta/three");
  tick(kItemsX, 0);  // alpha/
  EXPECT_EQ(path_of(0), "test/alpha/one");
}

}  // namespace
