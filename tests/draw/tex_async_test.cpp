// Deferred texture loading against a real context: records registered for
// later are decoded on the worker pool and uploaded by the finishing step on
// this (the main) thread. The "Tsan" cases also run under the thread
// sanitizer.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/threads/threads.h"
#include "draw/hooks.h"
#include "draw/tman.h"
#include "tests/draw/draw_fixture.h"
#include "tests/support/gl_context.h"
#include "tests/support/test_support.h"
#include "TEX/png_io.h"

namespace {

using testing_support::make_temp_dir;

// The first texel of the slot's texture (red, green, blue).
std::vector<int> first_texel(int slot) {
  const std::vector<unsigned char> t = draw_testing::slot_texels(slot, 0);
  if (t.empty()) return {};
  return {t[0], t[1], t[2]};
}

class DeferredLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    // A new context: the manager holds none of an earlier test's textures.
    tman.reset();
    mnw.tex_res = 5;
    dir_ = make_temp_dir("deferred");
  }
  // A flat 4 x 4 PNG of one colour (with the gamma the reader passes as is).
  std::string picture(const std::string& name, int r, int g, int b) {
    std::vector<unsigned char> px;
    for (int i = 0; i < 16; ++i)
      px.insert(px.end(), {(unsigned char)r, (unsigned char)g, (unsigned char)b});
    const std::string path = dir_ + name;
    EXPECT_EQ(TEX_save_png(path.c_str(), {GL_RGB, 4, 4, 0, 0}, px.data()), 1);
    return path;
  }
  // Polls the loader until it uploads something (or gives up after 10 s).
  static int wait_for_upload(tman_async_loader& loader) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      if (const int slot = loader.poll()) return slot;
      UTL_sleep(1);
    }
    return 0;
  }
  testing_support::GLContext gl_{16, 16};
  std::string dir_;
};

class TsanDeferredLoad : public DeferredLoad {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DeferredLoad::SetUp());
    THREAD_init();
    THREAD_make_workers();
  }
  void TearDown() override { THREAD_shutdown(); }
};

TEST_F(TsanDeferredLoad, WorkersDecodeAndTheFinishingStepUploads) {
  const int colours[3][3] = {{200, 10, 10}, {10, 200, 10}, {10, 10, 200}};
  for (int i = 0; i < 3; ++i) {
    const std::string file =
        picture("p" + std::to_string(i) + ".png", colours[i][0], colours[i][1], colours[i][2]);
    ASSERT_EQ(tman.load_texture(tex_fail_installer, 500 + i, tex_colour_rgb, tex_load_deferred,
                                file.c_str()),
              500 + i);
    EXPECT_EQ(tman.record(500 + i).load_time, tex_load_deferred);
    EXPECT_FALSE(glIsTexture(500 + i));
  }
  EXPECT_EQ(tman.num_remaining_async_texes(), 3);

  tman_async_loader loader;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    ASSERT_EQ(loader.start(), 1);
    // One decode at a time.
    tman_async_loader other;
    EXPECT_EQ(other.start(), 0);
    EXPECT_EQ(wait_for_upload(loader), 500 + i);
    EXPECT_EQ(tman.record(500 + i).load_time, tex_load_now);
    EXPECT_EQ(tman.record(500 + i).tex, 500 + i);
    EXPECT_EQ(first_texel(500 + i), (std::vector<int>(colours[i], colours[i] + 3)));
  }
  EXPECT_EQ(tman.num_remaining_async_texes(), 0);
  EXPECT_EQ(loader.start(), 0);
  EXPECT_EQ(loader.poll(), 0);
}

TEST_F(TsanDeferredLoad, ASynchronousLoadWaitsForThePendingDecode) {
  const std::string late = picture("late.png", 90, 80, 70);
  const std::string now = picture("now.png", 1, 2, 3);
  ASSERT_EQ(
      tman.load_texture(tex_fail_installer, 510, tex_colour_rgb, tex_load_deferred, late.c_str()),
      510);
  tman_async_loader loader;
  ASSERT_EQ(loader.start(), 1);
  // Both decode into the same buffer: the pending one is finished and
  // uploaded first, then this one is read.
  ASSERT_EQ(tman.load_texture(tex_fail_installer, 511, tex_colour_rgb, tex_load_now, now.c_str()),
            511);
  EXPECT_EQ(tman.record(510).load_time, tex_load_now);
  EXPECT_EQ(first_texel(510), (std::vector<int>{90, 80, 70}));
  EXPECT_EQ(first_texel(511), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(loader.poll(), 0);
}

TEST_F(TsanDeferredLoad, WorkForARecordChangedMeanwhileIsDropped) {
  const std::string file = picture("gone.png", 50, 50, 50);
  ASSERT_EQ(
      tman.load_texture(tex_fail_installer, 520, tex_colour_rgb, tex_load_deferred, file.c_str()),
      520);
  tman_async_loader loader;
  ASSERT_EQ(loader.start(), 1);
  tman.unload_texture(520);
  loader.force_finish();
  EXPECT_EQ(loader.poll(), 0);
  EXPECT_EQ(tman.record(520).load_time, tex_load_unloaded);
  EXPECT_FALSE(glIsTexture(520));
  // Registered again under another name, it is found again.
  const std::string other = picture("other.png", 60, 61, 62);
  ASSERT_EQ(
      tman.load_texture(tex_fail_installer, 520, tex_colour_rgb, tex_load_deferred, other.c_str()),
      520);
  ASSERT_EQ(loader.start(), 1);
  EXPECT_EQ(wait_for_upload(loader), 520);
  EXPECT_EQ(first_texel(520), (std::vector<int>{60, 61, 62}));
}

std::vector<std::string> shown;

TEST_F(DeferredLoad, WithoutWorkers) {
  // Nothing registered: nothing to do anywhere.
  EXPECT_EQ(tman.num_remaining_async_texes(), 0);
  tman_async_loader loader;
  EXPECT_EQ(tman.load_scenery_async_register(&loader), 0);
  EXPECT_EQ(tman.load_scenery_async_finalize(), 0);
  const draw_hooks saved = g_draw_hooks;
  g_draw_hooks.show_init = [](const char* text, float* fraction) {
    shown.push_back(std::string(text) + " " + std::to_string(fraction ? int(*fraction * 100) : -1));
  };
  tman.load_all_scenery_texes();
  EXPECT_TRUE(shown.empty());

  const std::string a = picture("a.png", 10, 20, 30), b = picture("b.png", 40, 50, 60);
  ASSERT_EQ(tman.load_texture(tex_fail_installer, 530, tex_colour_rgb, tex_load_now, a.c_str()),
            530);
  shown.clear();
  // A record already loaded stays as it is; a slot out of range is ignored.
  tman.force_load_tex(530);
  tman.force_load_tex(-4);
  tman.force_load_tex(100000);
  EXPECT_EQ(first_texel(530), (std::vector<int>{10, 20, 30}));

  ASSERT_EQ(
      tman.load_texture(tex_fail_installer, 531, tex_colour_rgb, tex_load_deferred, b.c_str()),
      531);
  tman.force_load_tex(531);
  EXPECT_EQ(first_texel(531), (std::vector<int>{40, 50, 60}));

  ASSERT_EQ(
      tman.load_texture(tex_fail_installer, 532, tex_colour_rgb, tex_load_deferred, a.c_str()),
      532);
  ASSERT_EQ(
      tman.load_texture(tex_fail_installer, 533, tex_colour_rgb, tex_load_deferred, b.c_str()),
      533);
  tman.load_all_scenery_texes();
  EXPECT_EQ(shown, (std::vector<std::string>{"Loading scenery texture " + a + " 0",
                                             "Loading scenery texture " + b + " 50"}));
  EXPECT_EQ(tman.num_remaining_async_texes(), 0);
  EXPECT_EQ(first_texel(533), (std::vector<int>{40, 50, 60}));
  g_draw_hooks = saved;
}

}  // namespace
