// DDS files through the texture manager into Mesa: the compressed levels go
// up as they are, and what OpenGL decodes from them matches libsquish's
// decoding of the file; chains of another size than the texture's are
// refused.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/globals.h"
#include "draw/tman.h"
#include "OGL/extensions.h"
#include "tests/draw/draw_fixture.h"
#include "tests/support/gl_context.h"
#include "tests/support/test_support.h"
#include "TEX/dds_io.h"

namespace {

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;

std::vector<unsigned char> picture(int w, int h) {
  std::vector<unsigned char> px(size_t(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      unsigned char* p = &px[(size_t(y) * w + x) * 4];
      p[0] = (unsigned char)(x * 255 / (w - 1));
      p[1] = (unsigned char)(y * 255 / (h - 1));
      p[2] = 60;
      p[3] = (unsigned char)(255 - x * 10);
    }
  return px;
}

class DdsTextureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    mnw.tex_res = 5;
    dir_ = make_temp_dir("dds-tex");
  }
  static std::vector<unsigned char> texels(int slot, int level, int* w, int* h) {
    return draw_testing::slot_texels(slot, level, w, h);
  }
  // The file's level (top row first) decoded by libsquish, compared with the
  // texture's level (bottom row first).
  static void expect_same_level(const std::string& file, int file_level, int slot, int format) {
    const std::string bytes = read_file(file);
    const unsigned char* levels = nullptr;
    TEX_image_desc desc;
    ASSERT_EQ(TEX_load_dds_mem("f", reinterpret_cast<const unsigned char*>(bytes.data()),
                               bytes.size(), levels, desc),
              1);
    int w = desc.dx, h = desc.dy;
    for (int i = 0; i < file_level; ++i) {
      levels += TEX_bytes_needed_for_image({desc.format, w, h, 0, 0});
      w = std::max(1, w / 2);
      h = std::max(1, h / 2);
    }
    std::vector<unsigned char> want(size_t(w) * h * 4);
    ASSERT_EQ(
        TEX_decode_s3tc({desc.format, w, h, 0, 0}, {GL_RGBA, w, h, 0, 0}, levels, want.data()), 1);
    int tw = 0, th = 0;
    const std::vector<unsigned char> got = texels(slot, 0, &tw, &th);
    ASSERT_EQ(tw, w);
    ASSERT_EQ(th, h);
    const int channels = format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT ? 3 : 4;
    int worst = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < channels; ++c)
          worst = std::max(worst, std::abs(got[(size_t(h - 1 - y) * w + x) * 4 + c] -
                                           want[(size_t(y) * w + x) * 4 + c]));
    EXPECT_LE(worst, 3);
  }
  testing_support::GLContext gl_{16, 16};
  std::string dir_;
};

TEST_F(DdsTextureTest, CompressedChainsGoUpAsTheyAre) {
  struct {
    int format, flags, tex_res, file_level, tex_w, tex_h, internal;
  } cases[] = {
      {GL_RGBA, 0x00a, 5, 0, 16, 8, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
      {GL_RGB, 0x009, 5, 0, 16, 8, GL_COMPRESSED_RGB_S3TC_DXT1_EXT},
      // One resolution step down: the chain starts at the file's second level.
      {GL_RGBA, 0x00a, 4, 1, 8, 4, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT},
  };
  int slot = 400;
  for (const auto& c : cases) {
    SCOPED_TRACE(slot);
    mnw.tex_res = c.tex_res;
    const std::string file = dir_ + "t" + std::to_string(slot) + ".dds";
    ASSERT_EQ(TEX_save_dds(file.c_str(), picture(16, 8).data(), {c.format, 16, 8, 0, 0}), 1);
    // Asked for as a PNG: the DDS beside it comes first.
    const std::string asked = file.substr(0, file.size() - 4) + ".png";
    ASSERT_EQ(tman.load_texture(tex_fail_installer, slot, c.flags, tex_load_now, asked.c_str()),
              slot);
    const ref_dat_struct r = tman.record(slot);
    EXPECT_EQ(r.tex_dx, c.tex_w);
    EXPECT_EQ(r.tex_dy, c.tex_h);
    EXPECT_EQ(r.format, c.internal);
    tman.bind_ref(slot, 0, tex_env_modulate);
    GLint internal = 0, last_level = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &internal);
    EXPECT_EQ(internal, c.internal);
    // The whole chain came from the file, down to 1 x 1.
    const int levels = c.tex_w == 16 ? 5 : 4;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, levels - 1, GL_TEXTURE_WIDTH, &last_level);
    EXPECT_EQ(last_level, 1);
    expect_same_level(file, c.file_level, slot, c.internal);
    ++slot;
  }
  EXPECT_EQ(tman.instl_load_fail, 0);
}

TEST_F(DdsTextureTest, OtherFilesAreRefused) {
  // ImageMagick writes no chain for a side that is no power of two: this
  // one is ours.
  ASSERT_EQ(TEX_save_dds((dir_ + "wide.dds").c_str(), picture(12, 8).data(), {GL_RGB, 12, 8, 0, 0}),
            1);
  int status = 0;
  run_command("convert -size 8x8 gradient: '" + dir_ + "sq.png' && convert '" + dir_ +
                  "sq.png' -define dds:compression=dxt1 -define dds:mipmaps=0 '" + dir_ +
                  "nomips.dds' && convert '" + dir_ +
                  "sq.png' -alpha off -define dds:compression=none '" + dir_ + "bgr.dds' 2>&1",
              &status);
  ASSERT_EQ(status, 0);
  struct {
    const char* file;
    int flags, slot;
    int tex_w;  // 0: refused
  } cases[] = {
      {"nomips.dds", 0x001, 420, 0},
      {"wide.dds", 0x001, 421, 0},    // 12 wide: no power of two
      {"wide.dds", 0x2001, 422, 12},  // unless any size is allowed
      {"bgr.dds", 0x001, 423, 8},     // uncompressed, 24-bit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + std::to_string(c.flags));
    tman.instl_load_fail = 0;
    const int got = tman.load_texture(tex_fail_installer, c.slot, c.flags, tex_load_now,
                                      (dir_ + c.file).c_str());
    EXPECT_EQ(got, c.tex_w ? c.slot : 0);
    EXPECT_EQ(tman.instl_load_fail, c.tex_w ? 0 : 1);
    if (c.tex_w) {
      EXPECT_EQ(tman.record(c.slot).tex_dx, c.tex_w);
    }
  }
  // The BGR file's top row is the gradient's white end: in the texture that
  // is the last row.
  int w = 0, h = 0;
  const std::vector<unsigned char> t = texels(423, 0, &w, &h);
  ASSERT_EQ(h, 8);
  EXPECT_EQ(t[(size_t(7) * w) * 4], 255);
  EXPECT_EQ(t[0], 0);
}

}  // namespace
