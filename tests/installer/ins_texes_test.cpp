// The built-in images as textures: each slot holds its image in the lower
// left of a power-of-two texture, unsheared, with nothing beside or above
// it; the widget atlas stays staged and gives the interface colours.
#include "installer/ins_texes.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/render_state.h"
#include "draw/tman.h"
#include "installer/builtin_images.h"
#include "platform/startup.h"
#include "tests/support/gl_context.h"
#include "TEX/image_desc.h"

namespace {

using testing_support::GLContext;

std::vector<unsigned char> texels(int slot, int& w, int& h) {
  tman.bind_ref(slot, 0, 0);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<unsigned char> out(size_t(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
  return out;
}

class InsTexes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    // A new context holds none of the textures an earlier case loaded.
    OGL_reset_state();
    tman.reset();
    mnw.tex_res = 5;
  }
  GLContext gl_{64, 64};
};

TEST_F(InsTexes, EveryImageLandsWholeInTheLowerLeftOfItsTexture) {
  // Whatever an earlier user left in the staging buffer must not show.
  memset(scratch_array, 0xAB, TEX_max_image_bytes);
  recall_ins_texes();
  for (const builtin_image& image : kBuiltinImages) {
    SCOPED_TRACE(image.slot);
    int w = 0, h = 0;
    const std::vector<unsigned char> t = texels(image.slot, w, h);
    const int side = image.dx > 512 ? 1024 : 512;
    ASSERT_EQ(w, side);
    ASSERT_EQ(h, side);
    const ref_dat_struct r = tman.record(image.slot);
    EXPECT_EQ(r.dx, image.dx);
    EXPECT_EQ(r.dy, image.dy);
    EXPECT_EQ(r.vram, side * side * 4);
    size_t wrong = 0, stray = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char* got = &t[(size_t(y) * w + x) * 4];
        if (x < image.dx && y < image.dy)
          wrong += memcmp(got, image.pixels + (size_t(y) * image.dx + x) * 4, 4) != 0;
        else
          stray += got[0] || got[1] || got[2] || got[3];
      }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(stray, 0u);
  }
  EXPECT_EQ(tman.loaded_texes(), 4);
  // The widget atlas is the one left staged.
  EXPECT_EQ(scratch_dx, 512);
  EXPECT_EQ(scratch_dy, 512);
  EXPECT_EQ(memcmp(scratch_array, t_interface_dat, 512 * 512 * 4), 0);
}

TEST_F(InsTexes, InterfaceColoursComeFromTheAtlasSwatches) {
  recall_ins_texes();
  MACIBM_take_interface_colours();
  struct {
    int colour, column, row;
  } swatches[] = {{34, 319, 155}, {35, 319, 147}, {36, 319, 139}, {37, 319, 131}, {38, 319, 123},
                  {40, 319, 115}, {41, 319, 107}, {42, 319, 99},  {43, 319, 91},  {44, 395, 115},
                  {45, 319, 83},  {46, 319, 75},  {47, 319, 67}};
  for (const auto& s : swatches) {
    SCOPED_TRACE(s.colour);
    const unsigned char* p = t_interface_dat + (size_t(s.row) * 512 + s.column) * 4;
    for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(colr.rgb[s.colour][c], p[c] / 255.0f);
  }
  for (int c = 0; c < 3; ++c)
    EXPECT_FLOAT_EQ(colr.rgb[39][c], (colr.rgb[35][c] + colr.rgb[38][c]) * 0.5f);
  // The text colour and the background differ, so text can be read.
  float diff = 0;
  for (int c = 0; c < 3; ++c) diff += std::abs(colr.rgb[46][c] - colr.rgb[34][c]);
  EXPECT_GT(diff, 0.3f);
}

TEST(InsTexesStaging, ButtonAtlasRowsAreStagedTextureWide) {
  memset(scratch_array, 0xAB, TEX_max_image_bytes);
  const builtin_image& atlas = kBuiltinImages[0];
  ASSERT_EQ(atlas.dx, 1010);
  stage_builtin_image(atlas);
  EXPECT_EQ(scratch_dx, 1010);
  EXPECT_EQ(scratch_dy, 764);
  const size_t row = 1024 * 4;
  EXPECT_EQ(memcmp(scratch_array + 700 * row, atlas.pixels + 700 * 1010 * 4, 1010 * 4), 0);
  const unsigned char zeros[14 * 4] = {};
  EXPECT_EQ(memcmp(scratch_array + 700 * row + 1010 * 4, zeros, sizeof zeros), 0);
  EXPECT_EQ(scratch_array[TEX_max_image_bytes - 1], 0);
}

}  // namespace
