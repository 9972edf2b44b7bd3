// Labels: the split into left text, right text and hover help, and where a
// label's lines land (glyphs read back from the coded atlas).
#include "widgets/labels.h"

#include <gtest/gtest.h>

#include <string>

#include "draw/colors.h"
#include "tests/widgets/widget_fixture.h"

namespace {

using widget_testing::WidgetTest;

TEST(ExpandLabel, SplitsAtTheLastBarAndTheLastBrace) {
  struct {
    std::string label, left, right, help;
  } cases[] = {
      {"plain", "plain", "", ""},
      {"|right", "", "right", ""},
      {"left|right", "left", "right", ""},
      {"word{ help text", "word", "", "help text"},
      {"a|b{ help", "a", "b", "help"},
      {"a|b|c", "a|b", "c", ""},
      {"a{ x|y", "a{ x", "", "x|y"},  // the brace before the bar: no right part
      {"x{", "x", "", ""},
      {"x{y", "x", "", ""},  // the character after '{' is skipped
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    std::string left = "?", right = "?", help = "?";
    BTN_expand_label(c.label, &left, &right, &help);
    EXPECT_EQ(left, c.left) << c.label;
    EXPECT_EQ(right, c.right) << c.label;
    EXPECT_EQ(help, c.help) << c.label;
  }
  std::string left;
  BTN_expand_label("only|left wanted", &left, nullptr, nullptr);
  EXPECT_EQ(left, "only");
}

class LabelTest : public WidgetTest {
 protected:
  // The glyph of c stands with its left edge at x and its base at y (the
  // glyph's bottom row is 6 below the text's y).
  void expect_glyph(char c, int x, int y, const std::string& what) {
    EXPECT_EQ(texel_at(x, y - 6 + 7), glyph_texel(c, 0, 7)) << what << ": '" << c << "'";
  }
  bool row_is_empty(int y) {
    for (int x = 0; x < width_; ++x)
      if (!(texel_at(x, y) == nothing())) return false;
    return true;
  }
};

TEST_F(LabelTest, LongLabelsBreakAtTheSeparatorNearestTheirMiddle) {
  // 27 characters with spaces at 1, 7, 12, 15 and 20: the break is at 12.
  const std::string label = "A bcdef ghij kl mnop qrstuv";
  ASSERT_EQ(label.size(), 27u);
  BTN_util_draw_label(20, 100, 2, label, 0);
  expect_glyph('A', 20, 105, "first line, 5 up");
  expect_glyph('k', 20, 95, "second line, 5 down");
}

TEST_F(LabelTest, ShortOrUnbreakableLabelsStayOnOneLine) {
  struct {
    const char* what;
    std::string label;
    char first;
    int align;
    int x;  // where the first glyph starts
  } cases[] = {
      {"12 characters", "abcd efgh ij", 'a', 2, 20},
      {"13 without a separator", "abcdefghijklm", 'a', 2, 20},
      {"a leading '-' is dropped and keeps one line", "-abc def ghi jkl mno pq", 'a', 2, 20},
      {"the only separator is the last character", "abcdefghijklm ", 'a', 2, 20},
      {"centred labels never break", "Mi Mi Mi Mi Mi", 'M', 1, 61},
      {"align 0 ends at x", "Mi", 'M', 0, 100 - 13},
  };
  for (const auto& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    BTN_util_draw_label(c.align == 2 ? 20 : 100, 100, c.align, c.label, 0);
    expect_glyph(c.first, c.x, 100, c.what);
    EXPECT_TRUE(row_is_empty(100 - 6 + 7 + 10)) << c.what << ": a line above";
    EXPECT_TRUE(row_is_empty(100 - 6 + 7 - 10)) << c.what << ": a line below";
  }
}

TEST_F(LabelTest, HighlightedLabelsTakeTheLitColour) {
  colr.assign(colr_pulse_red, 1.0f, 0.25f, 0.25f);
  BTN_util_draw_label(20, 100, 2, "Lit", 1);
  const auto lit = current_colour();
  EXPECT_FLOAT_EQ(lit[1], 0.25f);
  BTN_util_draw_label(20, 100, 2, "Plain", 0);
  const auto plain = current_colour();
  EXPECT_FLOAT_EQ(plain[0], colr.rgb[colr_label][0]);
  glClear(GL_COLOR_BUFFER_BIT);
  BTN_util_draw_label(20, 100, 2, "", 1);
  EXPECT_TRUE(row_is_empty(101));
}

TEST_F(LabelTest, AnElementIsDrawnOneToOneAroundItsCentre) {
  BTN_util_element(50, 60, 167, 187, 9, 9, colr_white);
  EXPECT_EQ(texel_at(41, 51), atlas(158, 178));
  EXPECT_EQ(texel_at(58, 68), atlas(175, 195));
  EXPECT_EQ(texel_at(40, 51), nothing());
  EXPECT_EQ(texel_at(59, 51), nothing());
}

}  // namespace
