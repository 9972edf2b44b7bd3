// Number display: the digit cells read back from the coded atlas, and the
// text form's strings.
#include "draw/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tests/draw/draw_fixture.h"

namespace {

using draw_testing::AtlasTest;
using draw_testing::texel;

TEST_F(AtlasTest, DigitCells) {
  // x = 100, y = 100: the first digit cell starts at 100, X0 = 90, and every
  // glyph's bottom row is 94.
  struct Case {
    const char* what;
    float value;
    int digits, decimals;
    std::vector<std::pair<char, int>> glyphs;  // each glyph's left edge
    std::vector<int> empty;                    // columns with no glyph
  } cases[] = {
      {"decimal point half a cell after the third",
       12.5f,
       4,
       1,
       {{'0', 100}, {'1', 110}, {'2', 120}, {'.', 125}, {'5', 130}},
       {91, 105, 115, 135, 140}},
      {"sign one unit into the cell before",
       -3,
       2,
       0,
       {{'-', 91}, {'0', 100}, {'3', 110}},
       {105, 120}},
      {"small negative still signed",
       -0.04f,
       2,
       1,
       {{'-', 91}, {'0', 100}, {'.', 105}, {'0', 110}},
       {}},
      {"rounds to zero: no sign", -0.004f, 2, 1, {{'0', 100}, {'0', 110}}, {91}},
      {"thousands separators",
       1234567,
       7,
       0,
       {{'1', 100}, {',', 105}, {'2', 110}, {'4', 130}, {',', 135}, {'5', 140}, {'7', 160}},
       {115, 145, 165, 170}},
      {"higher digits that do not fit are not shown",
       1234,
       2,
       0,
       {{'3', 100}, {'4', 110}},
       {91, 120}},
      // Beyond the int range: 3e9 and 2^40 still give their own digits.
      {"ten digits past the int range",
       3e9f,
       10,
       0,
       {{'3', 100}, {',', 105}, {'0', 110}, {',', 135}, {',', 165}, {'0', 190}},
       {200}},
      {"eleven cells at most",
       1099511627776.0f,
       13,
       0,
       {{'9', 100},
        {'9', 110},
        {'5', 120},
        {'1', 130},
        {',', 135},
        {'1', 140},
        {'6', 150},
        {'2', 160},
        {',', 165},
        {'7', 170},
        {'7', 180},
        {'7', 190},
        {',', 195},
        {'6', 200}},
       {210}},
      {"no digits at all", 5, 0, 0, {}, {91, 100, 105, 110}},
  };
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    OGL_number(0, 100, 100, c.value, c.digits, c.decimals, 102);
    for (const auto& g : c.glyphs)
      for (int du : {0, 3})
        EXPECT_EQ(texel_at(g.second + du, 94 + 7), glyph_texel(g.first, du, 7))
            << c.what << ": '" << g.first << "' at " << g.second << "+" << du;
    for (int x : c.empty) EXPECT_EQ(texel_at(x, 94 + 7), texel{}) << c.what << ": column " << x;
  }
}

TEST_F(AtlasTest, NumbersFollowTheWindowOriginAndRoundTheirPosition) {
  mnw.origin_x = 20;
  mnw.origin_y = 10;
  OGL_number(0, 80.5f, 90.4f, 7, 1, 0, 102);
  // x 100.5 rounds to 101; y 100.4 rounds to 100, and the glyph sits 6 below.
  EXPECT_EQ(texel_at(101, 94 + 7), glyph_texel('7', 0, 7));
  EXPECT_EQ(texel_at(100, 94 + 7), texel{});

  // The text form is drawn as a line of the interface font.
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_number(0, 30, 90, 7.25f, 3, 1, 100);
  const int col = 30 + 20;  // "07.3" (rounded): 0 and 7 are 6 wide each
  EXPECT_EQ(texel_at(col, 94 + 7), glyph_texel('0', 0, 7));
  EXPECT_EQ(texel_at(col + 6, 94 + 7), glyph_texel('7', 0, 7));
  EXPECT_EQ(texel_at(col + 12, 94 + 7), glyph_texel('.', 0, 7));
  EXPECT_EQ(texel_at(col + 14, 94 + 7), glyph_texel('3', 0, 7));
}

TEST(NumberText, FixedAndPowerOfTenForms) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float value;
    int digits, decimals;
    const char* text;
  } cases[] = {
      {1234567, 5, 0, "1.23x6"},  // more digits needed than the count
      {5, 1, 2, "0.05x2"},        // decimals + 1 digits are always needed
      {0, 3, 1, "00.0"},
      {12345, 6, 0, "012,345"},
      {-2.5f, 3, 1, "-02.5"},
      {1234.5f, 6, 1, "01,234.5"},
      {-0.004f, 2, 1, "0.0"},
      {999.6f, 3, 0, "1.00x3"},                       // rounds up to four digits
      {123456789012.0f, 4, 0, "1.23x0"},              // an exponent of 10 or more shows as 0
      {1099511627776.0f, 13, 0, "1099,511,627,776"},  // past the int range; commas to 10^9 only
      {3e9f, 10, 0, "3,000,000,000"},
      {inf, 3, 0, "0.00x0"},  // no endless shrinking, no digits
      {-inf, 12, 0, "-000,000,000,000"},
      {std::nanf(""), 3, 0, "000"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(OGL_number_text(c.value, c.digits, c.decimals), c.text)
        << c.value << ", " << c.digits << " digits, " << c.decimals << " decimals";
}

}  // namespace
