// Render to texture against a real context: the 2-D calls draw into the
// texture (through a framebuffer object, or the back buffer and a copy), and
// the texture's texels are read back with glGetTexImage.
#include "draw/framebuffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/stats.h"
#include "draw/prims.h"
#include "draw/viewport.h"
#include "tests/draw/draw_fixture.h"

namespace {

using draw_testing::rgba;

constexpr int kSlot = 400;

std::vector<unsigned char> texels(int level, int* w = nullptr) {
  return draw_testing::slot_texels(kSlot, level, w);
}

rgba texel(const std::vector<unsigned char>& t, int w, int x, int y) {
  const unsigned char* p = &t[(size_t(y) * w + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

class FramebufferTest : public draw_testing::DrawTest {
 protected:
  FramebufferTest() : DrawTest(64, 48) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DrawTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    ASSERT_TRUE(glExt.framebuf_avail);
    ren.tex_units = 1;
    mnw.tex_res = 5;
    colr.assign(1, 1, 0, 0);
    colr.assign(13, 0, 0, 1);
    OGL_pix_specs(0);
  }
  // Red left half, blue right half, in units of the current window.
  static void paint(OGL_framebuffer& fb, int use_fbo) {
    fb.begin_render(use_fbo);
    OGL_pix_specs(0);
    OGL_fillrect(1, 1, 0, 0, mnw.area_right / 2, mnw.area_top);
    OGL_fillrect(13, 1, mnw.area_right / 2, 0, mnw.area_right / 2, mnw.area_top);
    fb.end_render();
    OGL_pix_specs(0);
  }
};

TEST_F(FramebufferTest, DrawingLandsInTheTextureThroughAFramebufferObject) {
  const float flushes = OGL_fbo_flush_stat().own_value;
  OGL_framebuffer fb(kSlot, 7, 0x412, 32, 16);
  paint(fb, 1);
  EXPECT_EQ(fb.cur_dx, 32);
  EXPECT_EQ(fb.cur_dy, 16);
  EXPECT_EQ(OGL_fbo_flush_stat().own_value, flushes + 1);
  // The window is back, and its frame was not drawn on.
  EXPECT_EQ(mnw.pixel_dx, width_);
  EXPECT_EQ(mnw.area_right, float(width_));
  EXPECT_FALSE(lit(2, 2));
  int w = 0;
  std::vector<unsigned char> t = texels(0, &w);
  ASSERT_EQ(w, 32);
  EXPECT_EQ(texel(t, w, 3, 3), (rgba{255, 0, 0, 255}));
  EXPECT_EQ(texel(t, w, 28, 12), (rgba{0, 0, 255, 255}));
  EXPECT_EQ(tman.record(kSlot).name, "scratch_array-fbo");

  // A second rendering at this size reuses texture and attachment: what the
  // staging buffer holds now does not reach the texture.
  memset(scratch_array, 0x77, 32 * 16 * 4);
  fb.begin_render(1);
  fb.end_render();
  t = texels(0);
  EXPECT_EQ(texel(t, w, 3, 3), (rgba{255, 0, 0, 255}));

  // Another object with a framebuffer of its own and the same slot and
  // size attaches the texture to its own framebuffer.
  colr.assign(1, 0, 1, 0);
  OGL_framebuffer other(kSlot, 8, 0x412, 32, 16);
  paint(other, 1);
  t = texels(0);
  EXPECT_EQ(texel(t, w, 3, 3), (rgba{0, 255, 0, 255}));
}

TEST_F(FramebufferTest, CopyModeRendersAtMostTheWindowSize) {
  OGL_framebuffer fb(kSlot, 7, 0x412, 256, 256);
  paint(fb, 0);
  // 256 halves to 64 across (the window is 64 wide) and to 32 up (48 high).
  EXPECT_EQ(fb.cur_dx, 64);
  EXPECT_EQ(fb.cur_dy, 32);
  EXPECT_EQ(tman.record(kSlot).name, "scratch_array-mTexID");
  EXPECT_FALSE(glExt.glIsFramebufferEXT(7));
  int w = 0;
  const std::vector<unsigned char> t = texels(0, &w);
  ASSERT_EQ(w, 64);
  EXPECT_EQ(texel(t, w, 5, 30), (rgba{255, 0, 0, 255}));
  EXPECT_EQ(texel(t, w, 60, 1), (rgba{0, 0, 255, 255}));

  // Without framebuffer objects a request for one copies as well.
  glExt.framebuf_avail = 0;
  colr.assign(1, 0, 1, 0);
  paint(fb, 1);
  EXPECT_EQ(texel(texels(0), w, 5, 30), (rgba{0, 255, 0, 255}));
  EXPECT_FALSE(glExt.glIsFramebufferEXT(7));
}

TEST_F(FramebufferTest, DepthTexturesMipmapsAndTheNamesLeft) {
  {
    OGL_framebuffer depth(kSlot, 9, 0x416, 16, 16);
    depth.begin_render(1);
    GLint colour_type = -1, depth_type = -1, depth_name = -1;
    glExt.glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT,
                                                   GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT,
                                                   &colour_type);
    glExt.glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                                   GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE_EXT,
                                                   &depth_type);
    glExt.glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                                   GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT,
                                                   &depth_name);
    depth.end_render();
    EXPECT_EQ(colour_type, GL_NONE);
    EXPECT_EQ(depth_type, GL_TEXTURE);
    EXPECT_EQ(depth_name, kSlot);
    EXPECT_FALSE(glExt.glIsRenderbufferEXT(9));
    EXPECT_TRUE(glExt.glIsFramebufferEXT(9));
  }
  EXPECT_FALSE(glExt.glIsFramebufferEXT(9));

  // The mipmap bit: the chain is made from what was drawn.
  {
    OGL_framebuffer mips(kSlot + 1, 10, 0x41a, 16, 16);
    mips.begin_render(1);
    OGL_pix_specs(0);
    OGL_fillrect(1, 1, 0, 0, 16, 16);
    mips.end_render();
    EXPECT_TRUE(glExt.glIsRenderbufferEXT(10));
    tman.bind_ref(kSlot + 1, 0, tex_env_modulate);
    unsigned char level2[4 * 4 * 4] = {};
    glGetTexImage(GL_TEXTURE_2D, 2, GL_RGBA, GL_UNSIGNED_BYTE, level2);
    EXPECT_EQ(level2[0], 255);
    EXPECT_EQ(level2[3], 255);
  }
  EXPECT_FALSE(glExt.glIsRenderbufferEXT(10));
}

using FramebufferDeathTest = FramebufferTest;

// Two objects sharing one framebuffer name: the second turns the texture
// that the first attached as colour into a depth texture, which leaves the
// colour attachment unusable. The status shows as a number.
TEST_F(FramebufferDeathTest, AnIncompleteFramebufferIsFatal) {
  OGL_framebuffer colour(kSlot, 7, 0x412, 16, 16);
  paint(colour, 1);
  OGL_framebuffer depth(kSlot, 7, 0x416, 16, 16);
  EXPECT_EXIT(depth.begin_render(1), testing::ExitedWithCode(1),
              "ERROR: incomplete framebuffer\\.(.|\n)*36054\\.000000");
}

}  // namespace
