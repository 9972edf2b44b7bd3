// Number fields: keys typed into digit cells, the arrows above and below the
// cells, the range and rounding, the wrappers' write-back and the character
// field.
#include "widgets/number_fields.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

struct stroke {
  int c, vkey, flags;
};

const stroke kLeft{mac_left, VYKO_VK_LEFT, vyko_DownFlag},
    kRight{mac_right, VYKO_VK_RIGHT, vyko_DownFlag}, kUp{mac_up, VYKO_VK_UP, vyko_DownFlag},
    kDown{mac_down, VYKO_VK_DOWN, vyko_DownFlag};
stroke typed(char c, int flags = vyko_DownFlag) { return {c, 0, flags}; }

class NumberFields : public WidgetTest {
 protected:
  // A press on cell `cell` of the field at (100, 100) gives it the focus and
  // that hot digit; the keys then reach it on the next frame. Returns that
  // frame's result.
  static int edit(float* value, int digits, int decimals, float min, float max, int cell,
                  const std::vector<stroke>& keys) {
    frame(100 + 2 + 10.0f * float(cell) + 5, 100, true);
    BTN_flt_range(100, 100, value, digits, decimals, min, max, "");
    for (const stroke& k : keys) key(k.c, k.vkey, k.flags);
    idle_frame();
    return BTN_flt_range(100, 100, value, digits, decimals, min, max, "");
  }
};

TEST_F(NumberFields, KeysEditTheHotDigit) {
  struct {
    const char* what;
    float value;
    int digits, decimals;
    float min, max;
    int cell;
    std::vector<stroke> keys;
    float after;
    int changed;
  } cases[] = {
      {"a digit replaces the hot one", 123.4f, 4, 1, 0, 999, 1, {typed('7')}, 173.4f, 1},
      {"digits move on, wrapping to the first cell",
       123.4f,
       4,
       1,
       0,
       999,
       2,
       {typed('5'), typed('6'), typed('9')},
       925.6f,
       1},
      // 0.7 as a float is 0.6999...: its digit must still read as 7.
      {"digits of a value a float holds inexactly", 0.7f, 2, 1, 0, 9, 1, {typed('2')}, 0.2f, 1},
      {"up adds the hot cell's place, then the range holds", 50, 3, 0, 0, 120, 0, {kUp}, 120, 1},
      {"down subtracts it", 123.4f, 4, 1, 0, 999, 3, {kDown}, 123.3f, 1},
      {"left wraps to the last cell", 123.4f, 4, 1, 0, 999, 0, {kLeft, kUp}, 123.5f, 1},
      {"right wraps to the first cell", 123.4f, 4, 1, 0, 999, 3, {kRight, kUp}, 223.4f, 1},
      {"moving alone changes nothing", 12, 2, 0, 0, 99, 0, {kRight}, 12, 0},
      {"minus, then the range returns it to 0", 40, 3, 0, 0, 100, 0, {typed('-')}, 0, 1},
      {"minus in a signed range", 40, 3, 0, -100, 100, 0, {typed('-')}, -40, 1},
      {"plus in a signed range", -5, 3, 0, -100, 100, 0, {typed('+')}, 5, 1},
      {"plus where nothing is negative", 5, 3, 0, 0, 100, 0, {typed('+')}, 5, 0},
      {"a digit into a negative value keeps the sign", -12, 2, 0, -99, 99, 1, {typed('5')}, -15, 1},
      {"a release does nothing", 12, 2, 0, 0, 99, 0, {typed('5', vyko_UpFlag)}, 12, 0},
  };
  for (const auto& c : cases) {
    float value = c.value;
    EXPECT_EQ(edit(&value, c.digits, c.decimals, c.min, c.max, c.cell, c.keys), c.changed)
        << c.what;
    EXPECT_FLOAT_EQ(value, c.after) << c.what;
  }
}

TEST_F(NumberFields, TheSharedHotDigitFitsTheFieldThatTakesTheKey) {
  float wide = 12345, narrow = 10;
  frame(100 + 2 + 45, 100, true);  // cell 4 of a five-digit field
  BTN_flt_range(100, 100, &wide, 5, 0, 0, 99999, "");
  // The focus moves to a two-digit field without a press (as by Tab).
  idle_frame();
  BTN_flt_range(100, 50, &narrow, 2, 0, 0, 99, "");
  focus_id = BTN_widget_id(100, 50);
  key('9', 0);
  idle_frame();
  BTN_flt_range(100, 50, &narrow, 2, 0, 0, 99, "");
  EXPECT_EQ(narrow, 19) << "typed into its last cell";
}

TEST_F(NumberFields, ArrowsAboveAndBelowStepACell) {
  // Cells of 10 from 100; places 100, 10, 1, 0.1. Above the value row is up.
  struct {
    const char* what;
    float x, y;
    bool press;
    float after;
    int cursor;
  } cases[] = {
      {"up over cell 1", 115, 115, true, 110, 13},
      {"down under cell 1", 115, 90, true, 90, 14},
      {"a press on a border steps both cells", 110, 115, true, 210, 13},
      {"the top of the band", 135, 124, true, 100.1f, 13},
      {"beyond the band", 115, 124.5f, true, 100, 0},
      {"hovering shows the cursor only", 115, 115, false, 100, 13},
      {"the value row is no arrow", 115, 100, true, 100, 0},
  };
  for (const auto& c : cases) {
    float value = 100;
    mnw.cursor_kind = 0;
    frame(c.x, c.y, c.press);
    BTN_flt_range(100, 100, &value, 4, 1, -999, 999, "");
    EXPECT_FLOAT_EQ(value, c.after) << c.what;
    EXPECT_EQ(mnw.cursor_kind, c.cursor) << c.what;
  }
  float value = 100;
  frame(115, 115, true);
  mnw.open_menu = 4;
  BTN_flt_range(100, 100, &value, 4, 1, -999, 999, "");
  EXPECT_EQ(value, 100) << "a menu is open";
}

TEST_F(NumberFields, ValuesAreRoundedToTheirDecimalsEveryFrame) {
  struct {
    float value;
    int decimals;
    float after;
  } cases[] = {{1.26f, 1, 1.3f},
               {-1.26f, 1, -1.3f},
               {2.5f, 0, 3},
               {-2.5f, 0, -3},
               {7.004f, 2, 7},
               // The float holds 1.00499999..., below the half.
               {1.005f, 2, 1}};
  for (const auto& c : cases) {
    float value = c.value;
    idle_frame();
    EXPECT_EQ(BTN_flt_range(100, 100, &value, 4, c.decimals, -999, 999, ""), 0);
    EXPECT_FLOAT_EQ(value, c.after) << c.value;
  }
}

// Scaled to their decimals these are far beyond what a float holds: the
// rounding keeps them finite and as they were.
TEST_F(NumberFields, ValuesTooLargeForTheirDecimalsStayAsTheyAre) {
  struct {
    float value;
    int digits, decimals;
  } cases[] = {{3e38f, 12, 2},   {-3e38f, 12, 2},      {1e30f, 12, 9},
               {FLT_MAX, 12, 1}, {16777216.0f, 10, 1}, {123456792.0f, 12, 3}};
  for (const auto& c : cases) {
    float value = c.value;
    idle_frame();
    EXPECT_EQ(BTN_flt_range(100, 100, &value, c.digits, c.decimals, -FLT_MAX, FLT_MAX, ""), 0);
    EXPECT_EQ(value, c.value) << c.value << " with " << c.decimals << " decimals";
  }
  // Typed into, such a value stays finite too.
  float value = 1e30f;
  edit(&value, 12, 9, -FLT_MAX, FLT_MAX, 11, {typed('5')});
  EXPECT_TRUE(std::isfinite(value)) << value;
}

TEST_F(NumberFields, WrappersAndTheirRanges) {
  struct {
    int digits, decimals;
    float top;
  } tops[] = {{1, 0, 9},       {2, 0, 99}, {3, 1, 99.9f}, {4, 2, 99.99f}, {10, 0, 9999999999.0f},
              {11, 0, FLT_MAX}};
  for (const auto& t : tops)
    EXPECT_FLOAT_EQ(BTN_digits_top(t.digits, t.decimals), t.top) << t.digits << "," << t.decimals;

  idle_frame();
  float f = -500;
  BTN_flt(100, 100, &f, 3, 1, 1, "");
  EXPECT_FLOAT_EQ(f, -99.9f);
  f = -500;
  BTN_flt(100, 100, &f, 3, 1, 0, "");
  EXPECT_EQ(f, 0);
  int i = 5000;
  BTN_int(100, 100, &i, 3, 0, "");
  EXPECT_EQ(i, 999);

  // An int beyond what a float holds exactly comes back within the int
  // range, never converted from out of it.
  int big = INT_MAX;
  BTN_int_range(100, 100, &big, 10, 0, 4e9f, "");
  EXPECT_EQ(big, INT_MAX);
  int negative = -7;
  BTN_int_range(100, 100, &negative, 2, -50, 50, "");
  EXPECT_EQ(negative, -7);

  // A double is written back only on a frame that changed it.
  double d = 1.23456;
  EXPECT_EQ(BTN_dob_range(100, 100, &d, 4, 1, 0, 999, ""), 0);
  EXPECT_EQ(d, 1.23456);
  frame(115, 115, true);
  EXPECT_EQ(BTN_dob_range(100, 100, &d, 4, 1, 0, 999, ""), 1);
  EXPECT_NEAR(d, 11.2, 1e-5);
}

TEST_F(NumberFields, GridFieldsStandInTheirCell) {
  // Cell (1, 2) with 3 digits: x 75 + 75 - 30 = 120, y 125.
  float value = 0;
  frame(125, 140, true);  // above its first cell
  BTN_fltij(1, 2, &value, 3, 0, 0, "");
  EXPECT_EQ(value, 100);
  frame(125, 140, true);
  BTN_flt_rangeij(1, 2, &value, 3, 0, 0, 150, "");
  EXPECT_EQ(value, 150);
}

TEST_F(NumberFields, TheCharacterFieldStepsThroughItsSequence) {
  struct {
    const char* what;
    const char* text;
    int cell;
    std::vector<stroke> keys;
    const char* after;
  } cases[] = {
      {"down after Z is the dash", "Z", 0, {kDown}, "-"},
      {"down after the dash wraps to space", "-", 0, {kDown}, " "},
      {"up from space wraps to the dash", " ", 0, {kUp}, "-"},
      {"a small letter counts as its capital", "b", 0, {kDown}, "C"},
      {"what is not in the sequence counts as 0", "%", 0, {kDown}, "1"},
      {"typed letters are stored in capitals and move on", "AB", 0, {typed('x'), typed('y')}, "XY"},
      {"other characters are dropped", "AB", 0, {typed('%'), typed('z')}, "ZB"},
      {"right moves the hot cell", "AB", 0, {kRight, typed('7')}, "A7"},
  };
  for (const auto& c : cases) {
    std::vector<char> text(c.text, c.text + strlen(c.text));
    const int n = int(text.size());
    frame(100 + 10.0f * float(c.cell) + 5, 100, true);
    BTN_chars(100, 100, text.data(), n, "");
    for (const stroke& k : c.keys) key(k.c, k.vkey, k.flags);
    idle_frame();
    BTN_chars(100, 100, text.data(), n, "");
    EXPECT_EQ(std::string(text.begin(), text.end()), c.after) << c.what;
  }
  // The arrows step a cell's character: up goes back in the sequence.
  char text[] = "MM";
  frame(115, 115, true);
  BTN_chars(100, 100, text, 2, "");
  EXPECT_STREQ(text, "ML");
  frame(105, 85, true);
  BTN_chars(100, 100, text, 2, "");
  EXPECT_STREQ(text, "NL");
  EXPECT_EQ(mnw.cursor_kind, 14);
}

}  // namespace
