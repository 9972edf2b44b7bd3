// 3-D shapes by the pixels they cover, the background image pixel for pixel
// from its tiles, and screenshots read back with libpng against glReadPixels.
#include "draw/shapes.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <string>
#include <vector>

#include "draw/prims.h"
#include "tests/draw/draw_fixture.h"
#include "tests/support/test_support.h"
#include "TEX/png_io.h"

namespace {

using draw_testing::rgba;
using testing_support::make_temp_dir;

void fill_lookup_tables() {
  for (int i = 0; i <= 360; ++i) {
    lookup_sin[i] = std::sin(float(i) * float(M_PI) / 180.0f);
    lookup_cos[i] = std::cos(float(i) * float(M_PI) / 180.0f);
  }
}

class ShapesTest : public draw_testing::DrawTest {
 protected:
  ShapesTest() : DrawTest(64, 64) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DrawTest::SetUp());
    fill_lookup_tables();
    // World units -2..2 across the frame, looking down -z.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glColor3f(1, 1, 1);
  }
  bool covered(float x, float y) { return lit(int((x + 2) / 4 * 64), int((y + 2) / 4 * 64)); }
};

TEST_F(ShapesTest, QuadNormals) {
  struct {
    float p[4][3];
    float n[3];
  } cases[] = {
      {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 0, -1}},
      {{{0, 0, 0}, {0, 0, 2}, {3, 0, 2}, {3, 0, 0}}, {0, -1, 0}},
      {{{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {5, 0, 0}}, {0, 1, 0}},  // collinear corners
  };
  for (auto& c : cases) {
    glBegin(GL_QUADS);
    OGL_3dquad(c.p[0], c.p[1], c.p[2], c.p[3]);
    glEnd();
    float n[3] = {};
    glGetFloatv(GL_CURRENT_NORMAL, n);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(n[i], c.n[i], 1e-6) << i;
    float st[4] = {};
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, st);
    EXPECT_EQ(st[0], 0);  // the last corner's (0, 1)
    EXPECT_EQ(st[1], 1);
  }
  glBegin(GL_QUADS);
  OGL_3dquad_st(cases[0].p[0], cases[0].p[1], cases[0].p[2], cases[0].p[3], 0.25f, 0.5f, 0.75f, 1);
  glEnd();
  float st[4] = {};
  glGetFloatv(GL_CURRENT_TEXTURE_COORDS, st);
  EXPECT_EQ(st[0], 0.75f);
  EXPECT_EQ(st[1], 0.5f);
}

TEST_F(ShapesTest, CubeAndDiscCoverTheirOutline) {
  OGL_cube(0, 0, 0, 2, 1, 2, 0, 1, 0, 1, 0);
  EXPECT_TRUE(covered(0, 0.5f));
  EXPECT_TRUE(covered(-0.9f, 0.9f));
  EXPECT_FALSE(covered(0, 1.2f));
  EXPECT_FALSE(covered(1.2f, 0.5f));
  glClear(GL_COLOR_BUFFER_BIT);
  // Turned a quarter: it spans x 0..1 and y -1..1.
  OGL_cube(0, 0, 0, 2, 1, 2, 0, 1, 0, 1, 90);
  EXPECT_TRUE(covered(0.5f, -0.8f));
  EXPECT_FALSE(covered(-0.5f, 0.5f));
  glClear(GL_COLOR_BUFFER_BIT);
  OGL_disc(0, 0, 0, 1.5f);
  // Full radius between x = -a and a (a = 0.38 r), narrowing to a at the ends.
  EXPECT_TRUE(covered(0, 1.4f));
  EXPECT_TRUE(covered(1.4f, 0.4f));
  EXPECT_FALSE(covered(1.4f, 0.9f));
  EXPECT_FALSE(covered(1.6f, 0));
}

// An image whose pixels name their place: red and green the low bytes of x
// and y, blue their high bits.
rgba coded(int x, int y) { return {x & 255, y & 255, (x >> 8) | ((y >> 8) << 3), 255}; }

class BackgroundTest : public draw_testing::DrawTest {
 protected:
  BackgroundTest() : DrawTest(1024, 768) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DrawTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dir_ = make_temp_dir("back");
    app_path = dir_;
    mnw.tex_res = 5;
  }
  void TearDown() override { app_path.clear(); }
  void write_intro(int w, int h) {
    testing_support::run_command("mkdir -p '" + dir_ + "Resources/bitmaps'");
    std::vector<unsigned char> px(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const rgba c = coded(x, y);
        for (int i = 0; i < 4; ++i) px[(size_t(y) * w + x) * 4 + i] = (unsigned char)c[i];
      }
    ASSERT_EQ(TEX_save_png("Resources/bitmaps/intro.png", {GL_RGBA, w, h, 0, 0}, px.data()), 1);
  }
  static rgba tile_texel(int slot, int x, int y) {
    const std::vector<unsigned char> t = draw_testing::slot_texels(slot, 0);
    const unsigned char* p = &t[(size_t(y) * 512 + x) * 4];
    return {p[0], p[1], p[2], p[3]};
  }
  std::string dir_;
};

TEST_F(BackgroundTest, TilesHoldTheImageAndAreDrawnPixelForPixel) {
  ASSERT_NO_FATAL_FAILURE(write_intro(1500, 1000));
  OGL_make_back_tex();
  EXPECT_EQ(back_dx, 1500);
  EXPECT_EQ(back_dy, 1000);
  for (int slot = tex_slot_back_first; slot <= tex_slot_back_last; ++slot)
    EXPECT_EQ(tman.record(slot).tex, slot);
  EXPECT_EQ(tile_texel(423 + 4 + 2, 0, 0), coded(1024, 512));
  EXPECT_EQ(tile_texel(423 + 4 + 2, 475, 487), coded(1499, 999));
  EXPECT_EQ(tile_texel(423 + 4 + 2, 476, 0), (rgba{0, 0, 0, 0}));
  EXPECT_EQ(tile_texel(423 + 3, 10, 10), (rgba{0, 0, 0, 0}));
  EXPECT_EQ(tile_texel(438, 0, 0), (rgba{0, 0, 0, 0}));

  mnw.cur_window = wind_main;
  mnw.design_off_x = 0;
  OGL_plot_back_tex();
  for (auto xy : {std::make_pair(0, 0), {511, 511}, {512, 512}, {600, 520}, {1023, 767}})
    EXPECT_EQ(pixel(xy.first, xy.second), coded(xy.first, xy.second))
        << xy.first << "," << xy.second;

  // Before the first window the image is pinned to the drawable's right
  // edge and its top reaches at most 512 pixels above the drawable.
  glClear(GL_COLOR_BUFFER_BIT);
  mnw.cur_window = wind_startup;
  OGL_plot_back_tex();
  for (auto xy : {std::make_pair(0, 0), {700, 600}})
    EXPECT_EQ(pixel(xy.first, xy.second), coded(xy.first + 476, xy.second))
        << xy.first << "," << xy.second;
}

using BackgroundDeathTest = BackgroundTest;

TEST_F(BackgroundDeathTest, AMissingOrOversizedImageIsFatal) {
  EXPECT_EXIT(OGL_make_back_tex(), testing::ExitedWithCode(1),
              "Trying to load a texture that you do not have");
  ASSERT_NO_FATAL_FAILURE(write_intro(2049, 4));
  EXPECT_EXIT(OGL_make_back_tex(), testing::ExitedWithCode(1),
              "Trying to load a texture that you do not have");
}

// The file's RGB rows as libpng reads them, top row first, with no gamma
// or other transform.
std::vector<unsigned char> read_png(const std::string& path, int* w, int* h) {
  std::vector<unsigned char> out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (!setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    *w = int(png_get_image_width(png, info));
    *h = int(png_get_image_height(png, info));
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8) {
      png_bytepp rows = png_get_rows(png, info);
      for (int y = 0; y < *h; ++y) out.insert(out.end(), rows[y], rows[y] + size_t(*w) * 3);
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(f);
  return out;
}

class ScreenshotTest : public draw_testing::DrawTest {
 protected:
  ScreenshotTest() : DrawTest(37, 21) {}
};

TEST_F(ScreenshotTest, NumberedFilesHoldTheDrawable) {
  const std::string dir = make_temp_dir("shots");
  app_path = dir;
  testing_support::write_file(dir + "screenshot_1.png", "taken");
  testing_support::write_file(dir + "screenshot_2.png", "taken");
  colr.assign(1, 1, 0.5f, 0);
  OGL_fillrect(1, 1, 3, 2, 20, 9);
  OGL_fillrect(13, 1, 30, 15, 7, 6);
  OGL_screenshot(1);
  OGL_screenshot(1);
  app_path.clear();
  EXPECT_EQ(testing_support::read_file(dir + "screenshot_2.png"), "taken");

  std::vector<unsigned char> frame(size_t(width_) * height_ * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
  for (const char* name : {"screenshot_3.png", "screenshot_4.png"}) {
    SCOPED_TRACE(name);
    int w = 0, h = 0;
    const std::vector<unsigned char> png = read_png(dir + name, &w, &h);
    ASSERT_EQ(w, width_);
    ASSERT_EQ(h, height_);
    ASSERT_EQ(png.size(), frame.size());
    for (int y = 0; y < h; ++y)
      ASSERT_EQ(0,
                memcmp(&png[size_t(h - 1 - y) * w * 3], &frame[size_t(y) * w * 3], size_t(w) * 3))
          << "row " << y;
  }
}

class LargeScreenshotTest : public draw_testing::DrawTest {
 protected:
  LargeScreenshotTest() : DrawTest(2560, 1600) {}
};

TEST_F(LargeScreenshotTest, ALargerDrawableIsCroppedToItsCentre) {
  colr.assign(1, 1, 0, 0);
  OGL_fillrect(1, 1, 0, 0, 300, 1600);
  OGL_fillrect(1, 1, 2559, 0, 1, 1600);
  OGL_screenshot(0);
  // Columns 256..2303 of the drawable: red up to 299, then black.
  const unsigned char* row = scratch_array + size_t(1599) * 2048 * 3;
  EXPECT_EQ(row[43 * 3], 255);
  EXPECT_EQ(row[44 * 3], 0);
  EXPECT_EQ(row[2047 * 3], 0);
}

}  // namespace
