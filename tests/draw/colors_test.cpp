// The colour table and the colour rule, read back from OpenGL's current
// colour of a real context.
#include "draw/colors.h"

#include <gtest/gtest.h>

#include "tests/draw/draw_fixture.h"

namespace {

using draw_testing::DrawTest;

TEST(ColourTable, DefaultsFillTheTableAndLeaveTheRestBlack) {
  const colr_class c;
  struct Case {
    int index;
    float r, g, b;
  } cases[] = {
      {0, 1, 1, 1},   {1, 1, 0.2f, 0.2f}, {17, 0, 0, 0.6f},          {33, 1, 1, 1},
      {34, 0, 0, 0},  {49, 1, 1, 1},      {72, 0.49f, 0.43f, 0.24f}, {77, 0.44f, 0.53f, 0.54f},
      {78, 0, 0, 0},  {84, 1, 0, 1},      {101, 1, 1, 0.9f},         {102, 0, 0, 0},
      {103, 0, 0, 0},
  };
  for (const Case& k : cases) {
    EXPECT_FLOAT_EQ(c.rgb[k.index][0], k.r) << "entry " << k.index;
    EXPECT_FLOAT_EQ(c.rgb[k.index][1], k.g) << "entry " << k.index;
    EXPECT_FLOAT_EQ(c.rgb[k.index][2], k.b) << "entry " << k.index;
  }
  // How many entries have any colour at all: a guard against a slipped row.
  int coloured = 0;
  for (const auto& e : c.rgb) coloured += (e[0] + e[1] + e[2]) > 0;
  EXPECT_EQ(coloured, 64);
  EXPECT_EQ(c.tint[0] + c.tint[1] + c.tint[2], 3.0f);
  EXPECT_EQ(c.pulse, 0.0f);
  EXPECT_EQ(c.spectrum[500][0], 0.0f);
}

TEST(ColourTable, AssignWritesOneEntryAndIgnoresIndicesOutsideTheTable) {
  colr_class c;
  const colr_class before;
  c.assign(102, 0.25f, 0.5f, 0.75f);
  EXPECT_EQ(c.rgb[102][1], 0.5f);
  c.assign(-1, 9, 9, 9);
  c.assign(colr_class::kCount, 9, 9, 9);
  for (int i = 0; i < colr_class::kCount; ++i) {
    if (i != 102) {
      EXPECT_EQ(c.rgb[i][0], before.rgb[i][0]) << i;
    }
  }
}

TEST(ColourTable, PulseSetsThePulsingColoursOnly) {
  colr_class c;
  const colr_class defaults;
  const float p = 0.55f;
  c.set_pulse(p);
  EXPECT_FLOAT_EQ(c.pulse, p);
  const float expected[6][3] = {{p, p, p},
                                {p, 0.5f * p, 0},
                                {p, 0.3f * p, 0.3f * p},
                                {0.3f * p, 0.3f * p, p},
                                {0.2f * p, 0.8f * p, 0.2f * p},
                                {0.7f * p, 0.7f * p, 0.2f * p}};
  for (int i = 0; i < 6; ++i)
    for (int k = 0; k < 3; ++k)
      EXPECT_FLOAT_EQ(c.rgb[78 + i][k], expected[i][k]) << "colour " << 78 + i;
  // The neighbours keep their table defaults.
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(c.rgb[77][k], defaults.rgb[77][k]);
    EXPECT_EQ(c.rgb[84][k], defaults.rgb[84][k]);
  }
}

TEST_F(DrawTest, ColourRule) {
  colr.assign(45, 1.0f, 0.5f, 1.0f);
  colr.assign(46, 1.0f, 0.5f, 1.0f);
  colr.assign(90, 1.0f, 1.0f, 0.0f);
  colr.assign(91, 0.2f, 0.3f, 0.1f);
  struct Case {
    const char* what;
    int colour;
    float alpha, global_alpha;
    int monochrome;
    float tint;
    std::array<float, 4> expect;
  } cases[] = {
      {"45 is tinted", 45, 1, 1, 0, 0.5f, {0.5f, 0.25f, 0.5f, 1}},
      {"46 is not", 46, 1, 1, 0, 0.5f, {1, 0.5f, 1, 1}},
      {"0.995 counts as opaque", 46, 0.995f, 1, 0, 1, {1, 0.5f, 1, 1}},
      {"0.99 keeps its alpha", 46, 0.99f, 1, 0, 1, {1, 0.5f, 1, 0.99f}},
      {"global alpha multiplies", 46, 1, 0.5f, 0, 1, {1, 0.5f, 1, 0.5f}},
      {"monochrome black stays visible", 34, 1, 1, 1, 1, {0, 0.01f, 0, 1}},
      {"monochrome clamps at one", 90, 1, 1, 1, 1, {0, 1, 0, 1}},
      {"monochrome sums", 91, 0.5f, 1, 1, 1, {0, 0.6f, 0, 0.5f}},
      {"an index past the table reads entry 0", 200, 1, 1, 0, 0.5f, {0.5f, 0.5f, 0.5f, 1}},
  };
  for (const Case& k : cases) {
    // Leave a different alpha behind, so a three-component call must be
    // what brings it back to 1.
    glColor4f(0.3f, 0.3f, 0.3f, 0.3f);
    ren.global_alpha = k.global_alpha;
    ren.monochrome = k.monochrome;
    colr.tint[0] = colr.tint[1] = colr.tint[2] = k.tint;
    OGL_setcolor(k.colour, k.alpha);
    const auto c = current_colour();
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(c[i], k.expect[i], 1e-6f) << k.what << ", component " << i;
  }
}

TEST_F(DrawTest, SpectrumRampsAndScale) {
  colr.spectrum_init(0);
  struct Entry {
    int k;
    float r, g, b, tolerance;
  } rainbow[] = {// the last entry is t = 0.999, just short of violet
                 {0, 1, 0, 0, 1e-6f},
                 {200, 1, 0.32f, 0.08f, 1e-5f},
                 {300, 1, 0.66f, 0.04f, 1e-5f},
                 {999, 0.796f, 0, 0.801f, 1e-4f}};
  for (const Entry& e : rainbow) {
    EXPECT_NEAR(colr.spectrum[e.k][0], e.r, e.tolerance) << e.k;
    EXPECT_NEAR(colr.spectrum[e.k][1], e.g, e.tolerance) << e.k;
    EXPECT_NEAR(colr.spectrum[e.k][2], e.b, e.tolerance) << e.k;
  }

  colr.spectrum_init(2);
  EXPECT_FLOAT_EQ(colr.spectrum[250][1], 0.25f);
  EXPECT_EQ(colr.spectrum[250][0], 0.0f);
  colr.spectrum_init(7);  // unknown kinds leave the ramp alone
  EXPECT_FLOAT_EQ(colr.spectrum[250][1], 0.25f);

  struct Ramp {
    float t;
    std::array<float, 3> rgb;
  } ramp[] = {
      {0.5f, {1, 1, 0}}, {-0.1f, {0, 0, 0}}, {2.0f, {0.8f, 0, 0.8f}}, {1.0f / 12, {0.5f, 0, 0}}};
  ren.global_alpha = 0.75f;
  for (const Ramp& r : ramp) {
    OGL_spectrum_rgb(r.t);
    const auto c = current_colour();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c[i], r.rgb[i], 1e-5f) << "t " << r.t;
    EXPECT_FLOAT_EQ(c[3], 0.75f) << "alpha is the global alpha";
  }
}

TEST_F(DrawTest, LitColourKinds) {
  ren.light_level_a = 0.6f;
  ren.light_level_b = 0.3f;
  colr.tint[0] = 0.9f;
  colr.tint[1] = 0.2f;
  colr.tint[2] = 0.6f;
  colr.set_lit_col(0);
  EXPECT_FLOAT_EQ(colr.rgb[48][0], 0.9f);
  EXPECT_FLOAT_EQ(colr.rgb[48][1], 0.6f);
  EXPECT_FLOAT_EQ(colr.rgb[48][2], 0.6f);
  colr.set_lit_col(2);
  EXPECT_FLOAT_EQ(colr.rgb[48][1], 0.3f);
  colr.set_lites_for_interface();
  EXPECT_FLOAT_EQ(colr.tint[0], 0.9f);
  EXPECT_FLOAT_EQ(colr.tint[1], 0.75f);
  EXPECT_FLOAT_EQ(colr.tint[2], 0.75f);
  EXPECT_EXIT(colr.set_lit_col(3), ::testing::ExitedWithCode(1), "bad col_type!");
  EXPECT_EXIT(
      {
        g_alert_hooks.show = draw_testing::print_alert_and_exit;
        colr.set_lit_col(3);
      },
      ::testing::ExitedWithCode(1), "bad col_type! \\(.*colors\\.cpp line 43\\)");
}

class TallDrawTest : public DrawTest {
 protected:
  TallDrawTest() : DrawTest(64, 1100) {}
};

// The scale bar of the red ramp: its points darken towards the low end.
TEST_F(TallDrawTest, ScaleBarPointsFollowTheSpectrum) {
  ASSERT_GE(height_, 1050);
  colr.spectrum_init(1);
  colr.spectrum_plotscale(20, 30, 0, 100, 0);
  EXPECT_FLOAT_EQ(colr.spec_range, 100.0f);
  EXPECT_FLOAT_EQ(colr.spec_lo, 0.0f);
  EXPECT_FLOAT_EQ(colr.spec_hi, 100.0f);
  // Points of size 4 centred on (20, 30 + i).
  const int low = pixel(20, 30 + 100)[0], mid = pixel(20, 30 + 500)[0],
            high = pixel(20, 30 + 996)[0];
  EXPECT_NEAR(low, 0.1 * 255, 3);
  EXPECT_NEAR(mid, 0.5 * 255, 3);
  EXPECT_NEAR(high, 0.997 * 255, 3);
  EXPECT_EQ(pixel(20, 30 + 500)[1], 0);
  float size = 0;
  glGetFloatv(GL_POINT_SIZE, &size);
  EXPECT_EQ(size, 1.0f);
}

}  // namespace
