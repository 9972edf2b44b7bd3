// The 2-D primitives drawn into a real context and read back pixel by pixel.
#include "draw/prims.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "core/constants.h"
#include "tests/draw/draw_fixture.h"

namespace {

using draw_testing::AtlasTest;
using draw_testing::DrawTest;
using pixels = std::vector<std::pair<int, int>>;

// Within one step of 8-bit rounding.
bool close(const draw_testing::rgba& a, const draw_testing::rgba& b) {
  for (int i = 0; i < 4; ++i)
    if (std::abs(a[i] - b[i]) > 1) return false;
  return true;
}

class PrimsTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    // The start-up fills these; the circle outline reads them.
    for (int i = 0; i <= 360; ++i) {
      lookup_sin[i] = sinf(float(i) * degtorad);
      lookup_cos[i] = cosf(float(i) * degtorad);
    }
  }

  static int lit_in(int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) n += lit(x, y);
    return n;
  }
};

TEST_F(PrimsTest, ShapesLandOnTheirPixels) {
  struct Case {
    const char* what;
    float origin_x, origin_y;
    std::function<void()> draw;
    pixels on, off;
  } cases[] = {
      {"line through pixel centres",
       0,
       0,
       [] { OGL_line(0, 1, 0, 0, 10, 0); },
       {{0, 0}, {9, 0}},
       {{10, 0}, {0, 1}}},
      {"line moved by the origin",
       100,
       50,
       [] { OGL_line(0, 1, 0, 0, 10, 0); },
       {{100, 50}, {109, 50}},
       {{110, 50}, {99, 50}, {0, 0}}},
      {"filled rectangle",
       0,
       0,
       [] { OGL_fillrect(0, 1, 10, 20, 30, 40); },
       {{10, 20}, {39, 59}},
       {{9, 20}, {40, 20}, {10, 60}, {10, 19}}},
      {"negative width mirrors",
       0,
       0,
       [] { OGL_fillrect(0, 1, 50, 20, -10, 5); },
       {{40, 20}, {49, 24}},
       {{50, 20}, {39, 20}, {45, 25}}},
      {"frame one pixel beyond the size",
       20,
       20,
       [] { OGL_framerect(0, 1, 0, 0, 10, 5); },
       {{20, 20}, {30, 20}, {30, 25}, {20, 25}, {25, 20}, {20, 22}},
       {{25, 22}, {31, 20}, {20, 26}, {19, 20}}},
      {"grey box in colour 12",
       0,
       0,
       [] {
         colr.assign(12, 1, 1, 1);
         OGL_grayrect(10, 10, 20, 15, 1);
       },
       {{10, 10}, {19, 14}},
       {{20, 10}, {10, 15}}},
      {"filled circle",
       0,
       0,
       [] { OGL_fillcircle(0, 50, 50, 3); },
       {{50, 50}, {48, 50}, {50, 52}, {50, 48}},
       {{54, 50}, {50, 54}, {46, 50}, {50, 46}}},
      {"negative radius", 0, 0, [] { OGL_fillcircle(0, 50, 50, -3); }, {}, {{50, 50}}},
      {"circle outline",
       0,
       0,
       [] { OGL_framecircle(0, 50, 50, 10); },
       {{50, 60}, {60, 50}, {50, 40}, {40, 50}},
       {{50, 50}, {55, 55}}},
      {"background covers the drawable",
       100,
       50,
       [] {
         colr.assign(34, 0, 0, 1);
         OGL_plot_back_col();
       },
       {{0, 0}, {255, 255}, {0, 255}, {255, 0}},
       {}},
  };
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.origin_x = c.origin_x;
    mnw.origin_y = c.origin_y;
    c.draw();
    for (const auto& p : c.on)
      EXPECT_TRUE(lit(p.first, p.second)) << c.what << " at " << p.first << "," << p.second;
    for (const auto& p : c.off)
      EXPECT_FALSE(lit(p.first, p.second)) << c.what << " at " << p.first << "," << p.second;
  }
}

TEST_F(PrimsTest, ColourAlphaAndState) {
  colr.assign(46, 1.0f, 0.5f, 0.0f);
  OGL_fillrect(46, 0.5f, 0, 0, 10, 10);
  const auto p = pixel(5, 5);
  EXPECT_NEAR(p[0], 128, 1);
  EXPECT_NEAR(p[1], 64, 1);
  EXPECT_EQ(p[2], 0);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

  // The circle outline is drawn opaque whatever came before.
  OGL_framecircle(46, 50, 50, 10);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(PrimsTest, ArcStaysInItsSector) {
  OGL_arc(0, 50, 50, 5, 6, 0, 90);
  EXPECT_GT(lit_in(50, 50, 57, 57), 8) << "upper right quadrant";
  EXPECT_EQ(lit_in(42, 42, 49, 57), 0) << "left half";
  EXPECT_EQ(lit_in(51, 42, 57, 49), 0) << "lower right quadrant";
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_arc(0, 50, 50, 6, 5, 0, 90);
  EXPECT_EQ(lit_in(40, 40, 60, 60), 0) << "outer radius inside the inner one";
}

// Quads from the texture already bound: a 2 x 2 texture of four colours,
// drawn twice as large as the window's 20 x 20 quad.
TEST_F(PrimsTest, TexturedQuadWithoutASlotUsesTheBoundTexture) {
  const unsigned char texels[16] = {255, 255, 255, 255, 255, 0, 0,   255,  // bottom row
                                    0,   255, 0,   255, 0,   0, 255, 255};
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  colr.assign(46, 1.0f, 0.5f, 1.0f);

  struct Case {
    const char* what;
    std::function<void()> draw;
  } cases[] = {
      {"four corners",
       [] { OGL_2dquad(0, 46, 1, 10, 10, 0, 0, 10, 30, 0, 1, 30, 30, 1, 1, 30, 10, 1, 0, 1, 5); }},
      {"corner and span", [] { OGL_2dquad_d(0, 46, 1, 10, 10, 0, 0, 20, 20, 1, 1, 5); }},
  };
  for (const Case& c : cases) {
    glClear(GL_COLOR_BUFFER_BIT);
    mnw.origin_x = 5;
    mnw.origin_y = 0;
    c.draw();
    EXPECT_TRUE(close(pixel(16, 12), {255, 128, 255, 255})) << c.what << ": white, tinted";
    EXPECT_TRUE(close(pixel(34, 12), {255, 0, 0, 255})) << c.what;
    EXPECT_TRUE(close(pixel(16, 28), {0, 128, 0, 255})) << c.what;
    EXPECT_TRUE(close(pixel(34, 28), {0, 0, 255, 255})) << c.what;
    EXPECT_FALSE(lit(14, 12)) << c.what << ": the origin moves the quad";
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), tex) << c.what;
  }
  glDeleteTextures(1, &tex);
}

// A slot's texture is bound on unit 0 and mapped texel for pixel.
TEST_F(AtlasTest, TexturedQuadBindsItsSlot) {
  glBindTexture(GL_TEXTURE_2D, 0);
  const float s0 = 28 / 512.0f, t0 = 30 / 512.0f, s1 = 58 / 512.0f, t1 = 60 / 512.0f;
  OGL_2dquad(388, 0, 1, 10, 10, s0, t0, 10, 40, s0, t1, 40, 40, s1, t1, 40, 10, s1, t0, 1, 5);
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, tman.record(388).tex);
  using draw_testing::texel;
  EXPECT_EQ(texel_at(10, 10), (texel{28, 30}));
  EXPECT_EQ(texel_at(13, 39), (texel{31, 59}));
  EXPECT_EQ(texel_at(14, 20), texel{}) << "a transparent texel column";

  glClear(GL_COLOR_BUFFER_BIT);
  mnw.origin_x = 100;
  OGL_2dquad_d(388, 0, 1, 10, 10, s0, t0, 30, 30, s1 - s0, t1 - t0, 5);
  EXPECT_EQ(texel_at(110, 10), (texel{28, 30}));
  EXPECT_EQ(texel_at(113, 39), (texel{31, 59}));
}

TEST_F(PrimsTest, EndOfFrameAndBlendModes) {
  ren.global_alpha = 0.4f;
  glColor4f(0.1f, 0.2f, 0.3f, 1.0f);
  OGL_sbuff();
  EXPECT_EQ(current_colour(), (std::array<float, 4>{1, 1, 1, 0.4f}));
  ren.monochrome = 1;
  OGL_sbuff();
  EXPECT_EQ(current_colour(), (std::array<float, 4>{0, 1, 0, 0.4f}));

  GLint src = 0, dst = 0;
  OGL_glow_colors();
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(src, GL_SRC_ALPHA);
  EXPECT_EQ(dst, GL_ONE);
  OGL_nrml_colors();
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace
