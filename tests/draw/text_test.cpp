// Bitmap-font text drawn from the coded atlas: each glyph's pixels tell
// which atlas cell landed where.
#include "draw/text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/draw/draw_fixture.h"

namespace {

using draw_testing::AtlasTest;
using draw_testing::texel;

class TextTest : public AtlasTest {
 protected:
  // The glyph of c has its left edge at pixel x and its bottom row at y:
  // the first and fourth texel columns of its cell sit exactly there.
  void expect_glyph(char c, int x, int y, const std::string& what) {
    for (int du : {0, 3})
      for (int dv : {1, 7, 13})
        EXPECT_EQ(texel_at(x + du, y + dv), glyph_texel(c, du, dv))
            << what << ": '" << c << "' at " << x << "," << y << " (+" << du << ",+" << dv << ")";
  }
};

TEST_F(TextTest, PlacementAlignmentAndPitch) {
  struct Case {
    const char* what;
    std::string text;
    float x, y, origin_x, origin_y;
    int charset, align;
    int bottom;                                // the glyphs' bottom row
    std::vector<std::pair<char, int>> glyphs;  // each glyph's left edge
  } cases[] = {
      {"left", "Mi", 100, 100, 0, 0, 100, 0, 94, {{'M', 100}, {'i', 110}}},
      {"centred: 13 wide starts at 93.5, cut to 93",
       "Mi",
       100,
       100,
       0,
       0,
       100,
       1,
       94,
       {{'M', 93}, {'i', 103}}},
      {"ending at x", "Mi", 100, 100, 0, 0, 100, 2, 94, {{'M', 87}, {'i', 97}}},
      {"window origin added", "Ab", 10, 40, 30, 20, 100, 0, 54, {{'A', 40}, {'b', 48}}},
      {"position rounded half away from zero", "A", 100.5f, 100.5f, 0, 0, 100, 0, 95, {{'A', 101}}},
      {"digit pitch", "12", 100, 100, 0, 0, 102, 0, 94, {{'1', 100}, {'2', 110}}},
      {"digit pitch centred by the font's widths",
       "11",
       100,
       100,
       0,
       0,
       102,
       1,
       94,
       {{'1', 94}, {'1', 104}}},
      {"a double quote takes no room", "A\"B", 50, 100, 0, 0, 100, 0, 94, {{'A', 50}, {'B', 58}}},
      {"tab and carriage return skipped",
       "a\t\rb",
       50,
       100,
       0,
       0,
       100,
       0,
       94,
       {{'a', 50}, {'b', 56}}},
      {"accented letter", "\xE9x", 50, 100, 0, 0, 100, 0, 94, {{'\xE9', 50}, {'x', 56}}},
  };
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.origin_x = c.origin_x;
    mnw.origin_y = c.origin_y;
    OGL_string(0, c.x, c.y, c.text, 9999, c.charset, c.align);
    for (const auto& g : c.glyphs) expect_glyph(g.first, g.second, c.bottom, c.what);
  }
  // The blank cell of the double quote lies under the B, and nothing is
  // left of the text.
  EXPECT_EQ(texel_at(49, 101), texel{});
}

TEST_F(TextTest, ColourModulatesTheGlyphs) {
  colr.assign(46, 1.0f, 0.0f, 1.0f);
  OGL_string(46, 50, 100, "A", 9999, 100, 0);
  const auto p = pixel(50, 100);
  EXPECT_EQ(p[1], 0) << "green taken out by the colour";
  EXPECT_EQ(p[0], glyph_texel('A', 0, 6).u & 255);
}

TEST_F(TextTest, WrappingBreaksAfterSpacesAndLineFeeds) {
  // 6 per a, 7 per b, 3 per space: after "aaaa " the pen is at 27, and the
  // next word counts 6 a byte: 51 > 50 breaks; after "bbbb ", 31 + 24 > 50.
  EXPECT_FLOAT_EQ(OGL_string(0, 20, 100, "aaaa bbbb cccc", 50, 100, 0), 70.0f);
  // Lines 10 apart overlap by 5 rows: read each where only it is drawn.
  EXPECT_EQ(texel_at(20, 94 + 7), glyph_texel('a', 0, 7)) << "first line";
  EXPECT_EQ(texel_at(20, 84 + 7), glyph_texel('b', 0, 7)) << "second line";
  EXPECT_EQ(texel_at(20, 74 + 3), glyph_texel('c', 0, 3)) << "third line";
  EXPECT_EQ(texel_at(20 + 24, 94 + 12), glyph_texel(' ', 0, 12)) << "the space ends the first line";

  struct Case {
    const char* what;
    std::string text;
    float wrap;
    float result;
  } cases[] = {
      {"no wrap at 0", "aaaa bbbb cccc dddd eeee", 0, 100},
      {"no wrap at 9999", "aaaa bbbb cccc dddd eeee", 9999, 100},
      {"wide enough", "aaaa bbbb cccc", 200, 90},
      {"a word longer than the column is not split", "aaaaaaaaaaaaaaaaaaaa", 30, 90},
      {"line feed", "ab\ncd", 400, 80},
      {"trailing line feed counts its line", "ab\ncd\n", 400, 80},
      {"lone line feed", "\n", 400, 90},
      {"break on - and /", "aaaa-bbbb/cccc", 40, 70},
      {"empty", "", 400, 100},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(OGL_string(0, 20, 100, c.text, c.wrap, 100, 0), c.result) << c.what;

  glClear(GL_COLOR_BUFFER_BIT);
  OGL_string(0, 20, 100, "ab\ncd", 400, 100, 0);
  EXPECT_EQ(texel_at(20, 94 + 12), glyph_texel('a', 0, 12));
  EXPECT_EQ(texel_at(20, 84 + 3), glyph_texel('c', 0, 3)) << "the line feed starts a new line";
  EXPECT_EQ(texel_at(34, 94 + 12), texel{}) << "the line feed is not drawn";

  // Each wrapped line is centred on its own: "Mi " (16 wide) from 12, then
  // "Mi" (13 wide) from 13.5, cut to 13.
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_string(0, 20, 100, "Mi Mi", 20, 100, 1);
  EXPECT_EQ(texel_at(12, 94 + 12), glyph_texel('M', 0, 12));
  EXPECT_EQ(texel_at(13, 84 + 3), glyph_texel('M', 0, 3));
}

TEST_F(TextTest, ResultOfUnwrappedTextIsTheRoundedY) {
  EXPECT_FLOAT_EQ(OGL_string(0, 20, 100.4f, "ab", 9999, 100, 0), 100.0f);
  EXPECT_FLOAT_EQ(OGL_string(0, 20, 100.6f, "ab", 0, 100, 0), 101.0f);
  mnw.origin_y = 30;
  EXPECT_FLOAT_EQ(OGL_string(0, 20, 100.6f, "", 0, 100, 0), 101.0f);
}

TEST_F(TextTest, GlyphScaleEnlargesTheQuadNotTheCell) {
  oglp = 2.0f;
  OGL_string(0, 50, 100, "A", 9999, 100, 0);
  ogl_text.reset();
  EXPECT_EQ(texel_at(50, 94), glyph_texel('A', 0, 0));
  EXPECT_EQ(texel_at(57, 94 + 29), glyph_texel('A', 3, 14));
  EXPECT_EQ(texel_at(58, 94), texel{}) << "texel column 4 is transparent";
}

TEST_F(TextTest, MeasureAndGreyString) {
  EXPECT_EQ(OGL_string_width("Mi", 100), 13.0f);
  EXPECT_EQ(OGL_string_width("a\"{}~\t", 102), 6.0f);

  glClearColor(1, 1, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_gray_string(0, 100, 100, "Mi");
  // Centred: starts at 93.5, rounded to 94; the box spans 91.5 to 108.5.
  expect_glyph('M', 94, 94, "grey string");
  EXPECT_NEAR(pixel(100, 100)[0], 128, 1) << "half-transparent box in colour 12";
  EXPECT_EQ(pixel(90, 100)[0], 255) << "left of the box";
  EXPECT_EQ(pixel(100, 108)[0], 255) << "above the box";
}

TEST_F(TextTest, UnknownCharsetIsFatalAtItsAlwaysReportedLine) {
  EXPECT_EXIT(OGL_string(0, 10, 10, "x", 0, 99, 0), ::testing::ExitedWithCode(1),
              "String proc with bad charset!");
  EXPECT_EXIT(
      {
        g_alert_hooks.show = draw_testing::print_alert_and_exit;
        OGL_string(0, 10, 10, "x", 0, 99, 0);
      },
      ::testing::ExitedWithCode(1), "String proc with bad charset! \\(.*text\\.cpp line 493\\)");
}

}  // namespace
