// Sliders: the scroll bar's press zones, its drag and auto-repeat, the slot
// bound; the horizontal slider's range, drag and fill.
#include "widgets/sliders.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>

#include "core/clock.h"
#include "draw/colors.h"
#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

class Sliders : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    for (int& f : xtim.act_once) f = 0;
  }
  // The scroll bar of these tests: x 100, from 50 to 250, over 0..100.
  static int bar(int* value, int slot = 0) {
    return BTN_vert_slider(slot, 100, 50, 250, 0, 100, value);
  }
};

TEST_F(Sliders, PressZonesOfTheScrollBar) {
  // With the value 50 the thumb is centred at 240 - 181 / 2 = 149.5.
  struct {
    const char* what;
    float x, y;
    int value, after;
  } cases[] = {
      {"up arrow", 100, 260, 50, 49},
      {"top edge: arrow and track above the thumb", 100, 250, 50, 39},
      {"above the thumb", 100, 200, 50, 40},
      {"below the thumb", 100, 100, 50, 60},
      {"bottom edge: arrow and track below the thumb", 100, 50, 50, 61},
      {"down arrow", 89, 40, 50, 51},
      {"beside the bar", 111.5f, 200, 50, 50},
      {"above the arrow", 100, 270.5f, 50, 50},
      {"kept within the range", 100, 260, 0, 0},
      {"kept within the range at the bottom", 100, 40, 100, 100},
  };
  for (const auto& c : cases) {
    int value = c.value;
    frame(c.x, c.y, true);
    EXPECT_EQ(bar(&value), 0) << c.what;
    EXPECT_EQ(value, c.after) << c.what;
  }
}

TEST_F(Sliders, AnEmptyRangeDrawsOnlyTheTrack) {
  int value = 7;
  frame(100, 260, true);
  EXPECT_EQ(BTN_vert_slider(0, 100, 50, 250, 5, 5, &value), 0);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(texel_at(100, 150), atlas(112, 272)) << "the track";
  EXPECT_EQ(texel_at(100, 259), nothing()) << "no arrow";
}

TEST_F(Sliders, TheThumbDragsWhileTheButtonIsHeld) {
  int value = 50;
  frame(100, 150, true);  // on the thumb
  EXPECT_EQ(bar(&value), 1);
  // The grab holds wherever the mouse goes; the value follows its height
  // between 239 (the minimum) and 61 (the maximum).
  struct {
    float x, y;
    int value;
  } moves[] = {{150, 150, 50}, {0, 239, 0},   {100, 300, 0},
               {100, 61, 100}, {100, 0, 100}, {100, 200, 21}};
  for (const auto& m : moves) {
    frame(m.x, m.y, false, true);
    EXPECT_EQ(bar(&value), 1);
    EXPECT_EQ(value, m.value) << m.y;
  }
  frame(100, 100);  // released
  EXPECT_EQ(bar(&value), 0);
  EXPECT_EQ(value, 21);
  EXPECT_EQ(slider_grabbed[0], 0);
}

// Over the whole int range: the thumb stands for the value and drags from
// end to end, and the arrows stop at the limits.
TEST_F(Sliders, TheScrollBarSpansTheWholeIntRange) {
  auto full_bar = [](int* value) {
    return BTN_vert_slider(0, 100, 50, 250, INT_MIN, INT_MAX, value);
  };
  int value = 0;
  frame(100, 150, true);  // the middle, where the thumb of 0 stands
  EXPECT_EQ(full_bar(&value), 1);
  struct {
    float y;
    int value;
  } moves[] = {{61, INT_MAX}, {239, INT_MIN}, {150, 0}};
  for (const auto& m : moves) {
    frame(100, m.y, false, true);
    full_bar(&value);
    EXPECT_EQ(value, m.value) << m.y;
  }
  // Released; the arrows (the thumb covers the track's ends) stop at the
  // limits.
  idle_frame();
  EXPECT_EQ(full_bar(&value), 0);
  struct {
    const char* what;
    float y;
    int value;
  } presses[] = {{"down arrow at the bottom", 40, INT_MAX}, {"up arrow at the top", 260, INT_MIN}};
  for (const auto& p : presses) {
    frame(100, p.y, true);
    int v = p.value;
    EXPECT_EQ(full_bar(&v), 0) << p.what;
    EXPECT_EQ(v, p.value) << p.what;
  }
}

TEST_F(Sliders, HoldingAnArrowRepeatsOnTheClocksBeat) {
  int value = 50;
  frame(100, 40, true);
  bar(&value);
  EXPECT_EQ(value, 51) << "the press";
  struct {
    int long_hold, beat, after;
  } frames[] = {{0, 1, 51}, {1, 0, 51}, {1, 1, 52}, {1, 0, 52}, {1, 1, 53}};
  for (const auto& f : frames) {
    frame(100, 40, false, true);
    mnw.mouse_long_hold = f.long_hold;
    xtim.act_once[5] = f.beat;
    bar(&value);
    EXPECT_EQ(value, f.after) << "long hold " << f.long_hold << ", beat " << f.beat;
  }
}

TEST_F(Sliders, ThumbFollowsTheValue) {
  int value = 0;
  idle_frame();
  bar(&value);  // thumb centred at 240: 228..252
  EXPECT_EQ(texel_at(91, 228), atlas(83, 240));
  EXPECT_EQ(texel_at(91, 255), atlas(83, 274)) << "up arrow";
  EXPECT_EQ(texel_at(91, 29), atlas(83, 216)) << "down arrow";
}

TEST_F(Sliders, OnlySlotsZeroToThreeExist) {
  int value = 0;
  idle_frame();
  EXPECT_EXIT(bar(&value, 4), testing::ExitedWithCode(1), "Too many sliders!");
  EXPECT_EXIT(bar(&value, -1), testing::ExitedWithCode(1), "Too many sliders!");
}

TEST_F(Sliders, HorizontalSliderDragsWithinItsReach) {
  struct {
    const char* what;
    float min, max;
    float x, y;
    bool held;
    float after;
    int used;
  } cases[] = {
      {"middle", 0, 10, 100, 100, true, 5, 1},
      {"left end", 0, 10, 50, 100, true, 0, 1},
      {"past the right end, within reach", 0, 10, 165, 115, true, 10, 1},
      {"out of reach", 0, 10, 171, 100, true, 3, 0},
      {"not held", 0, 10, 100, 100, false, 3, 0},
      {"an empty range reaches 0.01 down from max", 5, 5, 50, 100, true, 5.01f, 1},
      {"and its right end is max", 5, 5, 150, 100, true, 5, 1},
      {"a narrow range widens to 0.01", 1, 1.001f, 150, 100, true, 1.01f, 1},
  };
  for (const auto& c : cases) {
    float value = 3;
    frame(c.x, c.y, false, c.held);
    EXPECT_EQ(BTN_horz_slider(50, 100, 100, colr_white, c.min, c.max, &value, 1, "", ""), c.used)
        << c.what;
    EXPECT_FLOAT_EQ(value, c.after) << c.what;
  }
  float value = 3;
  frame(100, 100, false, true);
  EXPECT_EQ(BTN_horz_slider(50, 100, 100, colr_white, 0, 10, &value, 0, "", ""), 0)
      << "not editable";
  EXPECT_EQ(value, 3);
}

// A range across most of the float range, whose width a float cannot hold.
TEST_F(Sliders, HorizontalSliderOverTheFloatRange) {
  struct {
    float x, after;
  } drags[] = {{100, 0}, {50, -FLT_MAX}, {150, FLT_MAX}, {75, -FLT_MAX / 2}};
  for (const auto& d : drags) {
    float value = 3;
    frame(d.x, 100, false, true);
    EXPECT_EQ(BTN_horz_slider(50, 100, 100, colr_white, -FLT_MAX, FLT_MAX, &value, 1, "", ""), 1);
    EXPECT_FLOAT_EQ(value, d.after) << d.x;
  }
  // Half full: the fill ends at the middle.
  float value = 0;
  idle_frame();
  BTN_horz_slider(50, 100, 100, colr_white, -FLT_MAX, FLT_MAX, &value, 0, "", "");
  EXPECT_EQ(texel_at(99, 96), atlas(304, 219));
  EXPECT_EQ(texel_at(100, 96), atlas(290, 250)) << "the track beyond the fill";
}

TEST_F(Sliders, HorizontalFillAndHelp) {
  float value = 0.5f;
  stls.help_text.clear();
  frame(60, 106);
  BTN_horz_slider(50, 100, 100, colr_white, 0, 1, &value, 0, "{ level", "");
  EXPECT_EQ(stls.help_text, "level");
  // Half full: a 50-long fill from x 50, 16 high from 96.
  EXPECT_EQ(texel_at(50, 96), atlas(289, 219));
  EXPECT_EQ(texel_at(99, 96), atlas(304, 219));
  EXPECT_EQ(texel_at(100, 96), atlas(290, 250)) << "the track beyond the fill";
  glClear(GL_COLOR_BUFFER_BIT);
  BTN_horz_slider(50, 100, 100, colr_dark_text, 0, 1, &value, 0, "", "");
  EXPECT_EQ(texel_at(50, 96), atlas(240, 250)) << "colour 12 draws no fill";
}

}  // namespace
