// The texture manager against a real context (Mesa): what lands in each
// slot's OpenGL texture is read back with glGetTexImage and
// glGetTexLevelParameter; files come from ImageMagick. The fixture resets the
// manager, so every test starts from an empty one.
//
// Contents
//   [SECTION] Helpers and the fixture
//   [SECTION] Staged images and the flag word
//   [SECTION] Files
//   [SECTION] Failed loads
//   [SECTION] Slots and names
//   [SECTION] Scale
//   [SECTION] Misuse
#include "draw/tman.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/globals.h"
#include "draw/tex_load.h"
#include "draw/tex_units.h"
#include "OGL/extensions.h"
#include "tests/support/gl_context.h"
#include "tests/support/test_support.h"

namespace {

// [SECTION] Helpers and the fixture

using testing_support::GLContext;
using testing_support::make_temp_dir;
using testing_support::run_command;

GLint bound_texture() {
  GLint t = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &t);
  return t;
}

GLint level_param(int slot, int level, GLenum what) {
  tman.bind_ref(slot, 0, tex_env_modulate);
  GLint v = -1;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &v);
  return v;
}

GLint tex_param(int slot, GLenum what) {
  tman.bind_ref(slot, 0, tex_env_modulate);
  GLint v = -1;
  glGetTexParameteriv(GL_TEXTURE_2D, what, &v);
  return v;
}

// Level 0 of the slot's texture as RGBA bytes, bottom row first.
std::vector<unsigned char> texels(int slot) {
  const int w = level_param(slot, 0, GL_TEXTURE_WIDTH), h = level_param(slot, 0, GL_TEXTURE_HEIGHT);
  std::vector<unsigned char> out(size_t(w > 0 ? w : 0) * (h > 0 ? h : 0) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  if (!out.empty()) glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
  return out;
}

// A staged image whose pixels name their own place: red = x, green = y,
// blue = 7, alpha = 200, in rows `pitch` pixels wide; the rest of the
// buffer is cleared, as the staging rule asks.
void stage_coded(int dx, int dy, int pitch) {
  memset(scratch_array, 0, size_t(pitch) * 2048 * 4);
  for (int y = 0; y < dy; ++y)
    for (int x = 0; x < dx; ++x) {
      unsigned char* p = scratch_array + (size_t(y) * pitch + x) * 4;
      p[0] = (unsigned char)x;
      p[1] = (unsigned char)y;
      p[2] = 7;
      p[3] = 200;
    }
  scratch_dx = dx;
  scratch_dy = dy;
}

class TmanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    tman.reset();
    mnw.tex_res = 5;
    dir_ = make_temp_dir("tman");
  }
  void TearDown() override {
    tman.reset();
    run_command("rm -rf '" + dir_ + "'");
  }
  // An image file made by ImageMagick; format is an output prefix such as
  // "BMP3:" or "PNG32:".
  std::string magick(const std::string& name, const std::string& args,
                     const std::string& format = "") {
    const std::string path = dir_ + name;
    int status = 0;
    run_command("convert " + args + " " + format + "'" + path + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << "convert " << args;
    return path;
  }
  GLContext gl_{64, 64};
  std::string dir_;
};

// [SECTION] Staged images and the flag word

TEST_F(TmanTest, StagedImageFillsTheLowerLeftOfAPowerOfTwoTexture) {
  stage_coded(5, 3, 8);
  ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_installer,
                              tex_colour_rgba | tex_flag_full_res | tex_flag_carried, tex_load_now,
                              "scratch_array:test"),
            tex_slot_installer);

  EXPECT_EQ(level_param(389, 0, GL_TEXTURE_WIDTH), 8);
  EXPECT_EQ(level_param(389, 0, GL_TEXTURE_HEIGHT), 4);
  EXPECT_EQ(bound_texture(), 389);
  const std::vector<unsigned char> t = texels(389);
  ASSERT_EQ(t.size(), 8u * 4 * 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) {
      const unsigned char* p = &t[(size_t(y) * 8 + x) * 4];
      const bool inside = x < 5 && y < 3;
      EXPECT_EQ(p[0], inside ? x : 0) << x << "," << y;
      EXPECT_EQ(p[1], inside ? y : 0) << x << "," << y;
      EXPECT_EQ(p[3], inside ? 200 : 0) << x << "," << y;
    }

  const ref_dat_struct r = tman.record(389);
  EXPECT_EQ(r.tex, 389);
  EXPECT_EQ(r.dx, 5);
  EXPECT_EQ(r.dy, 3);
  EXPECT_EQ(r.tex_dx, 8);
  EXPECT_EQ(r.tex_dy, 4);
  EXPECT_EQ(r.vram, 8 * 4 * 4);
  EXPECT_EQ(r.format, GL_RGBA);
  EXPECT_EQ(r.ref_count, -1);
  EXPECT_EQ(r.name, "scratch_array:test");
  EXPECT_EQ(tman.loaded_texes(), 1);
  EXPECT_EQ(tman.total_texes(), 1);
  mnw.pixel_dx = 10;
  mnw.pixel_dy = 10;
  mnw.pixel_depth = 32;
  EXPECT_EQ(tman.tot_vram(), 400 + 128);
}

TEST_F(TmanTest, FlagWordChoosesWrappingFiltersFormatAndMipmaps) {
  struct {
    int slot, flags;
    GLint wrap_s, wrap_t, min, mag, internal;
    bool mips;
    int vram;
  } cases[] = {
      // The widget atlas is sampled texel for texel.
      {388, 0x502, GL_REPEAT, GL_REPEAT, GL_NEAREST, GL_NEAREST, GL_RGBA, false, 128},
      {389, 0x511, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_LINEAR, GL_LINEAR, GL_RGB, false, 96},
      {390, 0x522, GL_CLAMP_TO_EDGE, GL_REPEAT, GL_LINEAR, GL_LINEAR, GL_RGBA, false, 128},
      {391, 0x50a, GL_REPEAT, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_RGBA, true, 170},
      // Sized 8-bit: no hardware mipmaps, so the chain is made here.
      {392, 0x150a, GL_REPEAT, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_RGBA8, true, 170},
      {393, 0x503, GL_REPEAT, GL_REPEAT, GL_LINEAR, GL_LINEAR, GL_ALPHA, false, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.slot);
    stage_coded(8, 4, 8);
    ASSERT_EQ(
        tman.load_texture(tex_fail_fatal, c.slot, c.flags, tex_load_now, "scratch_array:flags"),
        c.slot);
    EXPECT_EQ(tex_param(c.slot, GL_TEXTURE_WRAP_S), c.wrap_s);
    EXPECT_EQ(tex_param(c.slot, GL_TEXTURE_WRAP_T), c.wrap_t);
    EXPECT_EQ(tex_param(c.slot, GL_TEXTURE_MIN_FILTER), c.min);
    EXPECT_EQ(tex_param(c.slot, GL_TEXTURE_MAG_FILTER), c.mag);
    EXPECT_EQ(level_param(c.slot, 0, GL_TEXTURE_INTERNAL_FORMAT), c.internal);
    EXPECT_EQ(level_param(c.slot, 1, GL_TEXTURE_WIDTH), c.mips ? 4 : 0);
    EXPECT_EQ(level_param(c.slot, 3, GL_TEXTURE_WIDTH), c.mips ? 1 : 0);
    EXPECT_EQ(tman.record(c.slot).vram, c.vram);
  }
  // The chain made here is a 2 x 2 box: level 1 at (1, 0) averages x = 2, 3.
  tman.bind_ref(392, 0, tex_env_modulate);
  std::vector<unsigned char> level1(4 * 2 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_UNSIGNED_BYTE, level1.data());
  EXPECT_EQ(level1[4 * 1 + 0], 2);
  EXPECT_EQ(level1[4 * 1 + 1], 0);
  EXPECT_EQ(tman.loaded_texes(), 6);
}

TEST_F(TmanTest, SameSizedReloadReplacesTheContents) {
  stage_coded(4, 4, 4);
  ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_installer,
                              tex_colour_rgba | tex_flag_full_res | tex_flag_carried, tex_load_now,
                              "scratch_array:a"),
            tex_slot_installer);
  for (int i = 0; i < 16; ++i) scratch_array[i * 4] = 99;
  ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_installer,
                              tex_colour_rgba | tex_flag_full_res | tex_flag_carried, tex_load_now,
                              "scratch_array:b"),
            tex_slot_installer);
  const std::vector<unsigned char> t = texels(389);
  ASSERT_EQ(t.size(), 64u);
  EXPECT_EQ(t[0], 99);
  EXPECT_EQ(t[15 * 4], 99);
  EXPECT_EQ(tman.record(389).name, "scratch_array:b");
  EXPECT_EQ(tman.loaded_texes(), 1);
  EXPECT_EQ(tman.total_texes(), 1);
}

// Unloading deletes the slot's texture while a unit's cache may still name
// it; the reload must bind the new texture before it uploads, or the image
// lands in texture 0. Checked with texels read through plain OpenGL, not
// through the cache.
TEST_F(TmanTest, ReloadedSlotHoldsItsImageAfterAnUnload) {
  stage_coded(4, 4, 4);
  ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_installer,
                              tex_colour_rgba | tex_flag_full_res | tex_flag_carried, tex_load_now,
                              "scratch_array:first"),
            tex_slot_installer);
  tman.bind_ref(389, 0, tex_env_modulate);
  tman.unload_texture(389);
  EXPECT_FALSE(glIsTexture(389));

  stage_coded(4, 4, 4);
  for (int i = 0; i < 16; ++i) scratch_array[i * 4 + 2] = 55;
  ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_installer,
                              tex_colour_rgba | tex_flag_full_res | tex_flag_carried, tex_load_now,
                              "scratch_array:again"),
            tex_slot_installer);
  EXPECT_TRUE(glIsTexture(389));
  glBindTexture(GL_TEXTURE_2D, 389);
  unsigned char t[4 * 4 * 4] = {};
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t);
  EXPECT_EQ(t[5 * 4 + 0], 1) << "texel (1, 1)";
  EXPECT_EQ(t[5 * 4 + 1], 1);
  EXPECT_EQ(t[5 * 4 + 2], 55);
  EXPECT_EQ(t[5 * 4 + 3], 200);
  TEX_reset_bind();
}

// [SECTION] Files

// ImageMagick draws a red picture with a blue 10 x 10 block in its top-left
// corner; in the texture the picture's bottom row is row 0.
TEST_F(TmanTest, FilesAreScaledForTheSettingAndKeepTheirPlace) {
  const std::string png = magick("pic.png",
                                 "-size 300x200 xc:'rgb(255,0,0)' -fill 'rgb(0,0,255)' -draw "
                                 "'rectangle 0,0 9,9'",
                                 "PNG24:");
  struct {
    int tex_res, flags;
    int dx, dy, tex_dx, tex_dy;
  } cases[] = {
      {5, 0x001, 300, 200, 512, 256},  {4, 0x001, 150, 100, 256, 128},
      {4, 0x101, 300, 200, 512, 256},   // never reduced
      {5, 0x081, 150, 100, 256, 128},   // a step softer
      {4, 0x041, 300, 200, 512, 256},   // a step sharper
      {5, 0x2001, 300, 200, 300, 200},  // any size
  };
  int slot = 400;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    SCOPED_TRACE(c.tex_res);
    mnw.tex_res = c.tex_res;
    ASSERT_EQ(tman.load_texture(tex_fail_installer, slot, c.flags, tex_load_now, png.c_str()),
              slot);
    const ref_dat_struct r = tman.record(slot);
    EXPECT_EQ(r.dx, c.dx);
    EXPECT_EQ(r.dy, c.dy);
    EXPECT_EQ(r.tex_dx, c.tex_dx);
    EXPECT_EQ(r.tex_dy, c.tex_dy);
    EXPECT_EQ(r.format, GL_RGB);
    EXPECT_EQ(level_param(slot, 0, GL_TEXTURE_WIDTH), c.tex_dx);
    EXPECT_EQ(level_param(slot, 0, GL_TEXTURE_HEIGHT), c.tex_dy);
    const std::vector<unsigned char> t = texels(slot);
    ASSERT_EQ(t.size(), size_t(c.tex_dx) * c.tex_dy * 4);
    auto at = [&](int x, int y) { return &t[(size_t(y) * c.tex_dx + x) * 4]; };
    const int block = 10 * c.dx / 300;
    // The blue block at the top left, red to the picture's other corners,
    // nothing beyond it.
    EXPECT_EQ(at(0, c.dy - 1)[2], 255);
    EXPECT_EQ(at(block - 1, c.dy - block)[2], 255);
    EXPECT_EQ(at(block, c.dy - 1)[0], 255);
    EXPECT_EQ(at(0, 0)[0], 255);
    EXPECT_EQ(at(c.dx - 1, 0)[0], 255);
    EXPECT_EQ(at(c.dx - 1, c.dy - 1)[0], 255);
    if (c.tex_dx > c.dx) {
      EXPECT_EQ(at(c.dx, 0)[0], 0);
    }
    if (c.tex_dy > c.dy) {
      EXPECT_EQ(at(0, c.dy)[0], 0);
    }
    ++slot;
  }
  EXPECT_EQ(tman.instl_load_fail, 0);
}

TEST_F(TmanTest, BitmapsAndTheFileAlphaChoice) {
  const std::string bmp = magick("b.bmp", "-size 5x3 xc:'rgb(10,20,30)'", "BMP3:");
  ASSERT_EQ(tman.load_texture(tex_fail_installer, 401, tex_colour_rgb, tex_load_now, bmp.c_str()),
            401);
  EXPECT_EQ(tman.record(401).tex_dx, 8);
  EXPECT_EQ(tman.record(401).tex_dy, 4);
  std::vector<unsigned char> t = texels(401);
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t[0], 10);
  EXPECT_EQ(t[1], 20);
  EXPECT_EQ(t[2], 30);

  // Colour modes 4 and 5 let the file decide between RGB and RGBA.
  const std::string opaque = magick("o.png", "-size 4x4 xc:'rgb(1,2,3)'", "PNG24:");
  const std::string clear = magick("c.png", "-size 4x4 xc:'rgba(1,2,3,0.5)'", "PNG32:");
  struct {
    const std::string& file;
    int flags, format;
  } cases[] = {{opaque, 4, GL_RGB}, {opaque, 5, GL_RGB}, {clear, 4, GL_RGBA},
               {clear, 5, GL_RGBA}, {clear, 1, GL_RGB},  {opaque, 2, GL_RGBA}};
  int slot = 410;
  for (const auto& c : cases) {
    SCOPED_TRACE(slot);
    ASSERT_EQ(tman.load_texture(tex_fail_installer, slot, c.flags, tex_load_now, c.file.c_str()),
              slot);
    EXPECT_EQ(tman.record(slot).format, c.format);
    EXPECT_EQ(tman.record(slot).vram, 16 * (c.format == GL_RGBA ? 4 : 3));
    ++slot;
  }
}

TEST_F(TmanTest, TransparentTexelsOfAFileTakeTheColourAroundThem) {
  // Left half opaque red, right half fully transparent green.
  const std::string png = magick("cut.png",
                                 "-size 8x8 xc:'rgba(0,255,0,0)' -fill 'rgba(255,0,0,1)' -draw "
                                 "'rectangle 0,0 3,7'",
                                 "PNG32:");
  ASSERT_EQ(tman.load_texture(tex_fail_installer, 402, tex_colour_rgba, tex_load_now, png.c_str()),
            402);
  const std::vector<unsigned char> t = texels(402);
  ASSERT_EQ(t.size(), 8u * 8 * 4);
  for (int y = 0; y < 8; ++y) {
    const unsigned char* near = &t[(size_t(y) * 8 + 5) * 4];  // two texels from the red
    const unsigned char* far = &t[(size_t(y) * 8 + 6) * 4];   // three
    EXPECT_EQ(near[0], 255) << y;
    EXPECT_EQ(near[1], 0) << y;
    EXPECT_EQ(near[3], 0) << y;
    EXPECT_NE(far[0], 255) << y;
    EXPECT_EQ(far[3], 0) << y;
  }
}

TEST_F(TmanTest, ExtensionVariantsAndTheFirstFileThatExistsDecides) {
  EXPECT_EQ(tex_file_variants("a/x.png", false),
            (std::vector<std::string>{"a/x.dds", "a/x.dds", "a/x.png", "a/x.bmp"}));
  EXPECT_EQ(tex_file_variants("a/x.png", true),
            (std::vector<std::string>{"a/x.png", "a/x.png", "a/x.bmp"}));
  EXPECT_EQ(tex_file_variants("a/x", true), (std::vector<std::string>{"a/x", "a/x", "a/x"}));

  // Only the bitmap exists: asking for the PNG finds it.
  magick("only.bmp", "-size 2x2 xc:'rgb(9,9,9)'", "BMP3:");
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 403, tex_colour_rgb, tex_load_now,
                              (dir_ + "only.png").c_str()),
            403);
  EXPECT_EQ(tman.record(403).tex_dx, 2);

  // A file named .dds decides when it exists, and this one is no image we
  // read; without the DDS look-up the PNG beside it loads.
  magick("both.png", "-size 4x2 xc:'rgb(9,9,9)'", "PNG24:");
  testing_support::write_file(dir_ + "both.dds", "DDS not really a texture");
  const std::string both = dir_ + "both.png";
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 404, tex_colour_rgb, tex_load_now, both.c_str()),
            0);
  const char* argv[] = {"prog", "--no_dds"};
  cmdline.init_unix(2, argv);
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 405, tex_colour_rgb, tex_load_now, both.c_str()),
            405);
  EXPECT_EQ(tman.record(405).tex_dx, 4);
}

// [SECTION] Failed loads

TEST_F(TmanTest, MissingFilesShowNoTextureAndRaiseTheirFlagOnce) {
  const std::string missing = dir_ + "nothing.png";
  struct {
    int fail_mode;
    int tman_class::*flag;
  } cases[] = {{0, nullptr},
               {1, &tman_class::scene_load_fail},
               {2, &tman_class::plane_load_fail},
               {3, &tman_class::instl_load_fail}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fail_mode);
    // A slot that held a texture first: the failure takes its video memory.
    stage_coded(4, 4, 4);
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 420, tex_colour_rgba, tex_load_now,
                                "scratch_array:before"),
              420);
    EXPECT_EQ(tman.loaded_texes(), 1);
    EXPECT_EQ(tman.load_texture(c.fail_mode, 420, tex_colour_rgba, tex_load_now, missing.c_str()),
              0);
    const ref_dat_struct r = tman.record(420);
    EXPECT_EQ(r.tex, 0);
    EXPECT_EQ(r.vram, 0);
    EXPECT_EQ(r.load_time, 100);
    EXPECT_EQ(tman.loaded_texes(), 0);
    EXPECT_EQ(tman.total_texes(), 1);
    EXPECT_FALSE(glIsTexture(420));
    // The slot binds no texture at all, without a warning.
    tman.bind_ref(420, 0, tex_env_modulate);
    EXPECT_EQ(bound_texture(), 0);
    if (c.flag) {
      EXPECT_EQ(tman.*c.flag, 1);
    }
  }
  EXPECT_TRUE(tman.has_instl_load_fail());
  tman.mute_instl_load_fail();
  EXPECT_EQ(
      tman.load_texture(tex_fail_installer, 421, tex_colour_rgba, tex_load_now, missing.c_str()),
      0);
  EXPECT_FALSE(tman.has_instl_load_fail());
  EXPECT_EQ(tman.instl_load_fail, 2);
  tman.reset_instl_load_fail();
  EXPECT_EQ(
      tman.load_texture(tex_fail_installer, 421, tex_colour_rgba, tex_load_now, missing.c_str()),
      0);
  EXPECT_TRUE(tman.has_instl_load_fail());
}

// A file from the user's folders (a preview's icon) may be anything: loaded
// with no failure mode, a damaged or foreign image is no texture, never the
// end of the run; the program's own images still end it.
TEST_F(TmanTest, DamagedFilesLoadedWithoutFailureModeAreNoTexture) {
  const std::string good = magick("good.png", "-size 8x8 xc:red", "PNG24:");
  const std::string cut = dir_ + "cut_icon.png";
  int status = -1;
  run_command("head -c 60 '" + good + "' > '" + cut + "'", &status);
  ASSERT_EQ(status, 0);
  // A 24-bit bitmap whose header says it is compressed.
  const std::string compressed = magick("rle_icon.bmp", "-size 8x8 xc:blue", "BMP3:");
  run_command("printf '\\001' | dd of='" + compressed + "' bs=1 seek=30 conv=notrunc 2>&1",
              &status);
  ASSERT_EQ(status, 0);
  const std::string wide = magick("wide_icon.png", "-size 3000x2 xc:green", "PNG24:");
  for (const std::string& path : {cut, compressed, wide}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(tman.load_texture(tex_fail_none, 422, tex_colour_rgba, tex_load_now, path.c_str()),
              0);
    EXPECT_EQ(tman.record(422).vram, 0);
  }
  // The same slot still takes a good file afterwards.
  EXPECT_EQ(tman.load_texture(tex_fail_none, 422, tex_colour_rgba, tex_load_now, good.c_str()),
            422);
  EXPECT_GT(tman.record(422).vram, 0);
  EXPECT_EXIT(tman.load_texture(tex_fail_fatal, 423, tex_colour_rgba, tex_load_now, cut.c_str()),
              ::testing::ExitedWithCode(1), "");
}

TEST_F(TmanTest, FailedLoadShowsTheBlankTextureOnceOneIsRegistered) {
  stage_coded(2, 2, 2);
  ASSERT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_blank, tex_colour_rgba, tex_load_now,
                              "scratch_array:blank"),
            tex_slot_blank);
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 430, tex_colour_rgba, tex_load_now,
                              (dir_ + "none.png").c_str()),
            0);
  const ref_dat_struct r = tman.record(430);
  EXPECT_EQ(r.tex, 925);
  EXPECT_EQ(r.tex_dx, 2);
  EXPECT_EQ(r.vram, 0);
  tman.bind_ref(430, 0, tex_env_modulate);
  EXPECT_EQ(bound_texture(), 925);
  // An unloaded slot binds the blank texture too (after a warning).
  tman.unload_texture(430);
  tman.bind_ref(430, 0, tex_env_modulate);
  EXPECT_EQ(bound_texture(), 925);
}

// [SECTION] Slots and names

TEST_F(TmanTest, SlotsBeyondTheRecordsAreNotLoaded) {
  stage_coded(2, 2, 2);
  ASSERT_EQ(
      tman.load_texture(tex_fail_fatal, 5, tex_colour_rgba, tex_load_now, "scratch_array:small"),
      5);
  ASSERT_EQ(tman.ref_dat.size(), 6u);
  tman.bind_ref(5, 0, tex_env_modulate);
  ASSERT_EQ(bound_texture(), 5);
  for (int ref : {6, 1000, 5000, -3}) {
    SCOPED_TRACE(ref);
    const ref_dat_struct r = tman.record(ref);
    EXPECT_EQ(r.tex, 0);
    EXPECT_EQ(r.vram, 0);
    EXPECT_EQ(r.format, 0);
    testing::internal::CaptureStderr();
    tman.bind_ref(ref, 0, tex_env_modulate);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(bound_texture(), 0);
    tman.bind_ref(5, 0, tex_env_modulate);
  }
  // A record that exists but holds nothing is a registered slot gone
  // missing: it warns.
  tman.load_texture(tex_fail_none, 4, tex_colour_rgba, tex_load_now, (dir_ + "none.png").c_str());
  tman.unload_texture(4);
  testing::internal::CaptureStderr();
  tman.bind_ref(4, 0, tex_env_modulate);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("missing non-scenery texture - how?"),
            std::string::npos);
  EXPECT_EQ(bound_texture(), 0);
  tman.unload_texture(1000);
  EXPECT_EQ(tman.ref_dat.size(), 6u);
  mnw.pixel_dx = mnw.pixel_dy = mnw.pixel_depth = 0;
  EXPECT_EQ(tman.tot_vram(), 16);
}

TEST_F(TmanTest, DynamicSlotsAreSharedByNameAndCounted) {
  const std::string a = magick("a.png", "-size 2x2 xc:red", "PNG24:");
  const std::string b = magick("b.png", "-size 2x2 xc:blue", "PNG24:");
  const std::string c = magick("c.png", "-size 2x2 xc:green", "PNG24:");
  // A manual slot holding the same file is never handed to a dynamic user.
  ASSERT_EQ(tman.load_texture(tex_fail_installer, 300, tex_colour_rgb, tex_load_now, a.c_str()),
            300);
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 0, tex_colour_rgb, tex_load_now, a.c_str()),
            1130);
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 0, tex_colour_rgb, tex_load_now, a.c_str()),
            1130);
  EXPECT_EQ(tman.record(1130).ref_count, 2);
  EXPECT_EQ(tman.record(300).ref_count, -1);
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 0, tex_colour_rgb, tex_load_now, b.c_str()),
            1131);
  EXPECT_EQ(tman.total_texes(), 3);

  // Released to zero, a slot stays until the purge.
  tman.release_texture(1130);
  tman.release_texture(1130);
  EXPECT_EQ(tman.record(1130).ref_count, 0);
  EXPECT_TRUE(glIsTexture(1130));
  tman.purge_unused_texes();
  EXPECT_FALSE(glIsTexture(1130));
  EXPECT_EQ(tman.record(1130).format, 0);
  EXPECT_EQ(tman.record(1130).name, "un-inited");
  EXPECT_EQ(tman.record(1131).ref_count, 1);
  EXPECT_EQ(tman.total_texes(), 2);
  EXPECT_EQ(tman.loaded_texes(), 2);
  // The free slot is reused; the manual one still holds its file.
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 0, tex_colour_rgb, tex_load_now, c.c_str()),
            1130);
  EXPECT_EQ(tman.load_texture(tex_fail_installer, 0, tex_colour_rgb, tex_load_now, a.c_str()),
            1132);
  EXPECT_EQ(tman.record(300).name, a);
}

TEST_F(TmanTest, EmptyNameLoadsNothing) {
  EXPECT_EQ(
      tman.load_texture(tex_fail_fatal, tex_slot_installer,
                        tex_colour_rgba | tex_flag_full_res | tex_flag_carried, tex_load_now, ""),
      0);
  EXPECT_EQ(tman.load_texture(tex_fail_fatal, tex_slot_installer,
                              tex_colour_rgba | tex_flag_full_res | tex_flag_carried, tex_load_now,
                              nullptr),
            0);
  EXPECT_TRUE(tman.ref_dat.empty());
  EXPECT_EQ(tman.total_texes(), 0);
}

// [SECTION] Scale

TEST_F(TmanTest, ScaleFollowsTheSettingTheFlagsAndTheHardwareLimit) {
  struct {
    int tex_res, flags, max_size, mode, dx, dy;
    int dx_out, dy_out, tex_dx, tex_dy;
  } cases[] = {
      {4, 0x000, 0, 2, 1024, 512, 512, 256, 512, 256},
      {4, 0x100, 0, 2, 1024, 512, 1024, 512, 1024, 512},
      {5, 0x100, 1024, 2, 2048, 2048, 1024, 1024, 1024, 1024},
      {0, 0x000, 0, 2, 16, 64, 1, 4, 1, 4},            // never below one pixel
      {0, 0x000, 0, 1, 300, 200, 300, 200, 512, 256},  // staged images keep their size
      {3, 0x040, 0, 2, 64, 64, 32, 32, 32, 32},
      {5, 0x2000, 0, 2, 300, 3, 300, 3, 300, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dx);
    mnw.tex_res = c.tex_res;
    glExt.max_tex_size = c.max_size;
    int dx = 0, dy = 0, tdx = 0, tdy = 0;
    TEX_get_scale("s", c.dx, c.dy, 1, c.flags, dx, dy, tdx, tdy, c.mode);
    EXPECT_EQ(dx, c.dx_out);
    EXPECT_EQ(dy, c.dy_out);
    EXPECT_EQ(tdx, c.tex_dx);
    EXPECT_EQ(tdy, c.tex_dy);
  }
}

// [SECTION] Misuse

using TmanDeathTest = TmanTest;

TEST_F(TmanDeathTest, MisuseIsFatal) {
  const std::string missing = dir_ + "gone.png";
  struct {
    const char* message;
    std::function<void()> call;
  } cases[] = {
      {"dynamic textures should be released", [] { tman.unload_texture(1130); }},
      {"Trying to release a manual texture", [] { tman.release_texture(1129); }},
      {"Ref count is negative - was never reffed", [] { tman.release_texture(1500); }},
      {"too low or high a manual_ref",
       [] {
         tman.load_texture(tex_fail_fatal, 1130, tex_colour_rgba, tex_load_now, "scratch_array:x");
       }},
      {"invalid texture load_time",
       [] { tman.load_texture(tex_fail_fatal, 3, tex_colour_rgba, 103, "scratch_array:x"); }},
      {"invalid filter type",
       [] { tman.load_texture(tex_fail_fatal, 3, 16384, tex_load_now, "scratch_array:x"); }},
      {"BAD color enum for tman",
       [] { tman.load_texture(tex_fail_fatal, 3, 0x500, tex_load_now, "scratch_array:x"); }},
      {"either less than 1 or greater than 2048",
       [] {
         scratch_dx = 4096;
         scratch_dy = 4;
         tman.load_texture(tex_fail_fatal, 3, tex_colour_rgba, tex_load_now, "scratch_array:x");
       }},
      {"Trying to load a texture that you do not have",
       [&] {
         tman.load_texture(tex_fail_fatal, 3, tex_colour_rgba, tex_load_now, missing.c_str());
       }},
  };
  for (const auto& c : cases)
    EXPECT_EXIT(c.call(), ::testing::ExitedWithCode(1), c.message) << c.message;
}

TEST_F(TmanDeathTest, ReleasingBelowZeroIsFatal) {
  const std::string a = magick("a.png", "-size 2x2 xc:red", "PNG24:");
  ASSERT_EQ(tman.load_texture(tex_fail_installer, 0, tex_colour_rgb, tex_load_now, a.c_str()),
            1130);
  tman.release_texture(1130);
  tman.purge_unused_texes();
  EXPECT_EXIT(tman.release_texture(1130), ::testing::ExitedWithCode(1), "was never reffed");
  ASSERT_EQ(tman.load_texture(tex_fail_installer, 0, tex_colour_rgb, tex_load_now, a.c_str()),
            1130);
  tman.release_texture(1130);
  EXPECT_EXIT(tman.release_texture(1130), ::testing::ExitedWithCode(1), "Ref count went negative");
}

// The PNG header's colour type, bit depth and interlace method.
std::string png_header_fields(const std::string& png) {
  if (png.size() < 29) return "short";
  const unsigned char* p = reinterpret_cast<const unsigned char*>(png.data()) + 16;
  return "ct" + std::to_string(p[9]) + " bd" + std::to_string(p[8]) + " il" + std::to_string(p[12]);
}

// The staged image goes out upright: ImageMagick reads its top row from the
// last row staged.
TEST(StagedPng, StagedImageIsWrittenToDisk) {
  const std::string dir = make_temp_dir("png-staged");
  for (int i = 0; i < 3 * 2 * 4; ++i) scratch_array[i] = (unsigned char)(i * 10);
  ASSERT_EQ(write_png_to_disk((dir + "rgba.png").c_str(), 3, 2, 4), 1);
  ASSERT_EQ(write_png_to_disk((dir + "rgb.png").c_str(), 2, 2, 3), 1);
  int status = -1;
  const std::string rgba =
      run_command("convert '" + dir + "rgba.png' -depth 8 rgba:- 2>/dev/null", &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(rgba.size(), 24u);
  for (int i = 0; i < 24; ++i) {
    const int row = i / 12, staged_row = 1 - row;
    EXPECT_EQ((unsigned char)rgba[i], (unsigned char)((staged_row * 12 + i % 12) * 10)) << i;
  }
  const std::string rgb = run_command("convert '" + dir + "rgb.png' -depth 8 rgb:- 2>/dev/null");
  ASSERT_EQ(rgb.size(), 12u);
  EXPECT_EQ((unsigned char)rgb[0], 60);  // staged row 1 starts at byte 6
  EXPECT_EQ(png_header_fields(testing_support::read_file(dir + "rgb.png")), "ct2 bd8 il0");

  // Nothing beyond the staging buffer is read.
  EXPECT_EQ(write_png_to_disk((dir + "big.png").c_str(), 2048, 2049, 4), 0);
  EXPECT_EQ(write_png_to_disk((dir + "none.png").c_str(), 0, 5, 4), 0);
  EXPECT_EQ(testing_support::read_file(dir + "big.png"), "");
}

}  // namespace
