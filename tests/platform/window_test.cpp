// The window and its OpenGL context, made for real with SDL's offscreen
// driver and Mesa.
#include <gtest/gtest.h>
#include <SDL2/SDL.h>

#include <GL/gl.h>
#include <thread>

#include "core/globals.h"
#include "platform/window.h"
#include "tests/support/test_support.h"

namespace {

TEST(Window, FitTestCountsTheTitleBarAndTheDropFromTheTop) {
  struct {
    int dx, dy, mon_x, mon_y, fits;
  } cases[] = {
      {1024, 768, 1280, 1024, 1},
      {1024, 768, 1044, 1024, 0},  // 20 pixels to spare across is not enough
      {1024, 768, 1045, 1024, 1},
      {1024, 768, 1280, 800, 0},  // fits the old strict test, not at y 40 with a title bar
      {1024, 768, 1024, 768, 0},
      {1024, 768, 0, 0, 0},  // monitor unknown
  };
  for (auto& c : cases)
    EXPECT_EQ(PLAT_window_fits(c.dx, c.dy, c.mon_x, c.mon_y), c.fits)
        << c.dx << "x" << c.dy << " on " << c.mon_x << "x" << c.mon_y;
}

class WindowContext : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::make_temp_dir("window");
    xer.open(folder_ + "Log.txt");
    mnw.pixel_dx = 1024;
    mnw.pixel_dy = 768;
    ASSERT_EQ(MACIBM_make_context(0), 1) << SDL_GetError();
  }
  void TearDown() override {
    g_window_state.reset();
    PLAT_video_quit();
    xer.close();
    testing_support::run_command("rm -rf '" + folder_ + "'");
  }
  std::string folder_;
};

TEST_F(WindowContext, LogsTheFormatAndSetsTheDefaultState) {
  xer.flush();
  std::string log = testing_support::read_file(folder_ + "Log.txt");
  for (const char* label : {"AGL_RGBA         : 1\n", "AGL_RED_SIZE     : ", "AGL_DEPTH_SIZE   : "})
    EXPECT_NE(log.find(label), std::string::npos) << label << " in\n" << log;
  EXPECT_EQ(mnw.alias_got, 0);
  EXPECT_NE(mnw.main_window, nullptr);
  EXPECT_NE(mnw.pixel_format, nullptr);

  struct {
    GLenum name;
    GLint want;
  } ints[] = {{GL_UNPACK_ALIGNMENT, 1},
              {GL_PACK_ALIGNMENT, 1},
              {GL_ALPHA_TEST_FUNC, GL_GREATER},
              {GL_BLEND_SRC, GL_SRC_ALPHA},
              {GL_BLEND_DST, GL_ONE_MINUS_SRC_ALPHA},
              {GL_DEPTH_FUNC, GL_LEQUAL},
              {GL_FOG_MODE, GL_LINEAR},
              {GL_FOG_HINT, GL_FASTEST},
              {GL_FRONT_FACE, GL_CW},
              {GL_CULL_FACE_MODE, GL_BACK},
              {GL_SHADE_MODEL, GL_SMOOTH},
              {GL_COLOR_MATERIAL_FACE, GL_FRONT},
              {GL_COLOR_MATERIAL_PARAMETER, GL_AMBIENT_AND_DIFFUSE},
              {GL_DEPTH_WRITEMASK, GL_FALSE}};
  for (auto& c : ints) {
    GLint v = -1;
    glGetIntegerv(c.name, &v);
    EXPECT_EQ(v, c.want) << "glGet 0x" << std::hex << c.name;
  }
  struct {
    GLenum cap;
    GLboolean on;
  } caps[] = {{GL_CULL_FACE, GL_TRUE},
              {GL_DITHER, GL_TRUE},
              {GL_COLOR_MATERIAL, GL_TRUE},
              {GL_COLOR_LOGIC_OP, GL_FALSE},
              {GL_STENCIL_TEST, GL_FALSE},
              {GL_TEXTURE_1D, GL_FALSE},
              {GL_NORMALIZE, GL_FALSE},
              {GL_SCISSOR_TEST, GL_FALSE},
              {0x809D /* multisample */, GL_FALSE}};
  for (auto& c : caps) EXPECT_EQ(glIsEnabled(c.cap), c.on) << "cap 0x" << std::hex << c.cap;
  GLfloat ambient[4] = {1, 1, 1, 1};
  glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
  for (float a : ambient) EXPECT_EQ(a, 0.0f);
}

TEST_F(WindowContext, LoaderContextSharesTexturesWithTheMainOne) {
  void* loader = PLAT_make_loader_context();
  ASSERT_NE(loader, nullptr);
  // The main context stays current on the main thread.
  EXPECT_EQ(SDL_GL_GetCurrentContext(), mnw.gl_context);

  GLuint made_there = 0;
  int made_current = 0;
  std::thread worker([&] {
    made_current = PLAT_set_loader_context(loader);
    if (!made_current) return;
    unsigned char pixel[4] = {255, 0, 0, 255};
    glGenTextures(1, &made_there);
    glBindTexture(GL_TEXTURE_2D, made_there);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    glFinish();
  });
  worker.join();
  EXPECT_EQ(made_current, 1);
  EXPECT_NE(made_there, 0u);
  EXPECT_EQ(glIsTexture(made_there), GL_TRUE);
  PLAT_free_loader_context(loader);
}

TEST(WindowNoContext, LoaderNeedsAMainContext) {
  EXPECT_EQ(PLAT_make_loader_context(), nullptr);
  EXPECT_EQ(PLAT_set_loader_context(nullptr), 0);
}

}  // namespace
