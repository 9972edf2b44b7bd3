// Push buttons, check boxes and radio items: the edges of their hit boxes,
// what they draw from the atlas, the pressed look shown at once, and the
// values they write.
#include "widgets/buttons.h"

#include <gtest/gtest.h>

#include "draw/hooks.h"
#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

int swaps = 0;

class Buttons : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    saved_ = g_draw_hooks;
    swaps = 0;
    g_draw_hooks.swap_buffers = [] { ++swaps; };
  }
  void TearDown() override {
    g_draw_hooks = saved_;
    WidgetTest::TearDown();
  }
  draw_hooks saved_;
};

TEST_F(Buttons, APressCountsOnTheEdgesOfTheButton) {
  struct {
    float x, y;
    int hit;
  } cases[] = {{70, 100, 1}, {69.9f, 100, 0}, {130, 110, 1},   {130.1f, 100, 0},
               {100, 90, 1}, {100, 89.9f, 0}, {100, 110.1f, 0}};
  for (const auto& c : cases) {
    frame(c.x, c.y, true);
    EXPECT_EQ(BTN_action(100, 100, 60, 0, 0, "Go", "-"), c.hit) << c.x << "," << c.y;
  }
  frame(100, 100, false, true);
  EXPECT_EQ(BTN_action(100, 100, 60, 0, 0, "Go", "-"), 0) << "held, not pressed this frame";
  frame(100, 100, true);
  mnw.open_menu = 3;
  EXPECT_EQ(BTN_action(100, 100, 60, 0, 0, "Go", "-"), 0) << "a menu is open";
}

TEST_F(Buttons, AButtonWithoutWidthFitsItsLabel) {
  // "OK": 9 + 7 + 21 = 37 wide, so its left edge is at 81.5.
  frame(81.5f, 100, true);
  EXPECT_EQ(BTN_action(100, 100, 0, 0, 0, "OK", "-"), 1);
  frame(81.4f, 100, true);
  EXPECT_EQ(BTN_action(100, 100, 0, 0, 0, "OK", "-"), 0);
  frame(100 - 10.5f, 100, true);
  EXPECT_EQ(BTN_action(100, 100, 0, 0, 0, "", "-"), 1) << "an empty label: 21 wide";
  frame(100 - 10.6f, 100, true);
  EXPECT_EQ(BTN_action(100, 100, 0, 0, 0, "", "-"), 0);
}

TEST_F(Buttons, ButtonsDrawTheirBodyAndThePressedLookOnTop) {
  // The body is kind 2 of the atlas (t 486..512), the pressed look kind 3
  // (t 459..485); at the bottom-left of a 60-wide button at (100, 100).
  idle_frame();
  BTN_action(100, 50, 60, 0, 0, "", "-");
  BTN_action(100, 100, 60, 1, 0, "", "-");
  EXPECT_EQ(texel_at(70, 37), atlas(304, 486));
  EXPECT_EQ(texel_at(70, 87), atlas(304, 459));
  EXPECT_EQ(swaps, 0);
}

TEST_F(Buttons, ModeOneShowsThePressAtOnce) {
  struct {
    int is_on, mode, swaps;
  } cases[] = {{0, 1, 1}, {0, 2, 1}, {0, 0, 0}, {1, 1, 0}};
  for (const auto& c : cases) {
    swaps = 0;
    glClear(GL_COLOR_BUFFER_BIT);
    frame(100, 100, true);
    EXPECT_EQ(BTN_action(100, 100, 60, c.is_on, c.mode, "", "-"), 1);
    EXPECT_EQ(swaps, c.swaps) << "is_on " << c.is_on << " mode " << c.mode;
    if (c.swaps) {
      EXPECT_EQ(texel_at(70, 87), atlas(304, 459)) << "pressed when the frame ends";
    }
  }
}

TEST_F(Buttons, CheckBoxesToggleInsideTheirSmallerHitBox) {
  struct {
    float x, y;
    int hit;
  } cases[] = {{92, 96, 1}, {108, 112, 1}, {100, 95, 0}, {91.9f, 100, 0}, {100, 112.1f, 0}};
  for (const auto& c : cases) {
    int value = 0;
    frame(c.x, c.y, true);
    EXPECT_EQ(BTN_bool(100, 100, &value, "|Tick{ help", 0), c.hit) << c.x << "," << c.y;
    EXPECT_EQ(value, c.hit);
  }
  int value = 7;
  frame(100, 100, true);
  EXPECT_EQ(BTN_bool(100, 100, &value, "", 0), 1);
  EXPECT_EQ(value, 0) << "any non-zero value is ticked";
}

TEST_F(Buttons, CheckBoxesSetTheirHelpUnlessAMenuIsOpen) {
  int value = 0;
  stls.help_text = "old";
  frame(100, 100);
  BTN_bool(100, 100, &value, "|Tick{ tick this", 0);
  EXPECT_EQ(stls.help_text, "tick this");
  stls.help_text = "old";
  BTN_bool(100, 100, &value, "|Tick", 0);
  EXPECT_EQ(stls.help_text, "") << "an empty help part is set too";
  stls.help_text = "old";
  frame(100, 100, true);
  mnw.open_menu = 2;
  EXPECT_EQ(BTN_bool(100, 100, &value, "|Tick{ tick this", 0), 0);
  EXPECT_EQ(stls.help_text, "old");
  EXPECT_EQ(value, 0);
}

TEST_F(Buttons, TheTwoLooksDrawTheirOwnCells) {
  idle_frame();
  int off = 0, on = 1;
  BTN_bool(50, 50, &off, "", 0);
  BTN_bool(100, 50, &on, "", 0);
  BTN_bool(150, 50, &off, "", 1);
  BTN_bool(200, 50, &on, "", 1);
  // Each 18 by 18, centred 3 above y: the lower-left pixel at (x - 9, y - 6).
  EXPECT_EQ(texel_at(41, 44), atlas(139, 178)) << "check box";
  EXPECT_EQ(texel_at(91, 44), atlas(139, 197)) << "its tick";
  EXPECT_EQ(texel_at(141, 44), atlas(83, 123)) << "radio button";
  EXPECT_EQ(texel_at(191, 44), atlas(83, 142)) << "its dot";
}

TEST_F(Buttons, RadioItemsSelectTheirValue) {
  int var = 2;
  frame(100, 100, true);
  EXPECT_EQ(BTN_is_int(100, 100, &var, 5, "|Five"), 1);
  EXPECT_EQ(var, 5);
  // A press on the selected item draws it unselected for that frame only
  // and leaves the value.
  glClear(GL_COLOR_BUFFER_BIT);
  frame(100, 100, true);
  EXPECT_EQ(BTN_is_int(100, 100, &var, 5, "|Five"), 1);
  EXPECT_EQ(var, 5);
  EXPECT_EQ(texel_at(91, 94), atlas(83, 123));
  frame(0, 0);
  EXPECT_EQ(BTN_is_int(100, 100, &var, 7, "|Seven"), 0);
  EXPECT_EQ(var, 5);
}

TEST_F(Buttons, AdaptersWriteTheirOwnTypesBack) {
  bool b = false;
  char c = 0;
  unsigned char u = 1;
  frame(100, 100, true);
  EXPECT_EQ(BTN_xbol(100, 100, &b, ""), 1);
  EXPECT_EQ(BTN_xchr(100, 100, &c, ""), 1);
  EXPECT_EQ(BTN_xbyt(100, 100, &u, ""), 1);
  EXPECT_TRUE(b);
  EXPECT_EQ(c, 1);
  EXPECT_EQ(u, 0);
}

}  // namespace
