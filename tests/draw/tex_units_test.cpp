// The texture-unit binding cache on a real context: what reaches OpenGL is
// seen by changing bindings behind the cache's back, and each combine preset
// by drawing a pixel with a known primary colour over a known texel.
#include "draw/tex_units.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>

#include "core/globals.h"
#include "core/stats.h"
#include "draw/tman.h"
#include "OGL/extensions.h"
#include "tests/support/gl_context.h"

namespace {

using testing_support::GLContext;

GLint get_int(GLenum what) {
  GLint v = 0;
  glGetIntegerv(what, &v);
  return v;
}

GLint binding_on(int unit) {
  const GLint keep = get_int(GL_ACTIVE_TEXTURE_ARB);
  glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  const GLint b = get_int(GL_TEXTURE_BINDING_2D);
  glActiveTextureARB(keep);
  return b;
}

GLint env_on(int unit, GLenum what) {
  const GLint keep = get_int(GL_ACTIVE_TEXTURE_ARB);
  glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  GLint v = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, what, &v);
  glActiveTextureARB(keep);
  return v;
}

float env_colour_on(int unit) {
  const GLint keep = get_int(GL_ACTIVE_TEXTURE_ARB);
  glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  GLfloat c[4] = {-1, -1, -1, -1};
  glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, c);
  glActiveTextureARB(keep);
  return c[0];
}

class TexUnitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
    ASSERT_GE(ren.tex_units, 4);
    TEX_reset_bind();
  }
  GLContext gl_{16, 16};
};

TEST_F(TexUnitsTest, RepeatedBindsMakeNoCallUntilTheCacheIsReset) {
  TEX_bind_ref(5, 0, tex_env_modulate);
  ASSERT_EQ(binding_on(0), 5);
  glBindTexture(GL_TEXTURE_2D, 9);  // behind the cache's back
  TEX_bind_ref(5, 0, tex_env_modulate);
  EXPECT_EQ(binding_on(0), 9);

  // Not even the unit is selected for a repeat on another unit.
  TEX_bind_ref(6, 2, tex_env_modulate);
  EXPECT_EQ(binding_on(2), 6);
  EXPECT_EQ(get_int(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
  glActiveTextureARB(GL_TEXTURE3_ARB);
  TEX_bind_ref(6, 2, tex_env_modulate);
  EXPECT_EQ(get_int(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE3_ARB);
  glActiveTextureARB(GL_TEXTURE0_ARB);

  TEX_reset_bind();
  TEX_bind_ref(5, 0, tex_env_modulate);
  EXPECT_EQ(binding_on(0), 5);
}

TEST_F(TexUnitsTest, ModeTwentyFourBindsButKeepsTheEnvironment) {
  TEX_bind_ref(5, 1, GL_REPLACE);
  EXPECT_EQ(env_on(1, GL_TEXTURE_ENV_MODE), GL_REPLACE);
  TEX_bind_ref(5, 1, tex_env_modulate);
  EXPECT_EQ(env_on(1, GL_TEXTURE_ENV_MODE), GL_MODULATE);
  TEX_bind_ref(7, 1, tex_env_keep);
  EXPECT_EQ(binding_on(1), 7);
  EXPECT_EQ(env_on(1, GL_TEXTURE_ENV_MODE), GL_MODULATE);
  EXPECT_EQ(get_int(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
  // 24 was never recorded as the unit's mode: asking for GL_MODULATE again
  // after a change behind the cache's back makes no call.
  glActiveTextureARB(GL_TEXTURE1_ARB);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
  glActiveTextureARB(GL_TEXTURE0_ARB);
  TEX_bind_ref(8, 1, tex_env_modulate);
  EXPECT_EQ(binding_on(1), 8);
  EXPECT_EQ(env_on(1, GL_TEXTURE_ENV_MODE), GL_DECAL);
}

TEST_F(TexUnitsTest, KillSwitchShowsTheBlankTextureExceptTheWidgetAtlas) {
  TEX_kill_tex_stat().own_value = 1;
  TEX_bind_ref(tex_slot_installer, 0, tex_env_modulate);
  EXPECT_EQ(binding_on(0), 925);
  TEX_bind_ref(tex_slot_widgets, 0, tex_env_modulate);
  EXPECT_EQ(binding_on(0), 388);
  TEX_kill_tex_stat().own_value = 0;
  TEX_bind_ref(tex_slot_installer, 0, tex_env_modulate);
  EXPECT_EQ(binding_on(0), 389);
  EXPECT_STREQ(TEX_kill_tex_stat().name, "perf/kill_tex");
}

TEST_F(TexUnitsTest, BlendLevelOnlyOnUnitsTheHardwareHas) {
  ren.tex_units = 2;
  TEX_set_blend_level(1, 0.5f);
  TEX_set_blend_level(2, 0.75f);
  EXPECT_FLOAT_EQ(env_colour_on(1), 0.5f);
  EXPECT_FLOAT_EQ(env_colour_on(2), 0.0f);
  EXPECT_EQ(get_int(GL_ACTIVE_TEXTURE_ARB), GL_TEXTURE0_ARB);
}

TEST_F(TexUnitsTest, WithoutCombineEveryModeIsAnEnvironmentEnum) {
  glExt.combine_avail = 0;
  TEX_bind_ref(5, 0, GL_DECAL);
  EXPECT_EQ(env_on(0, GL_TEXTURE_ENV_MODE), GL_DECAL);
  glExt.combine_avail = 1;
  TEX_bind_ref(5, 0, tex_env_pass);
  EXPECT_EQ(env_on(0, GL_TEXTURE_ENV_MODE), GL_COMBINE);
}

// A quad of primary colour C = (0.5, 1, 0.25, 0.5) over the whole window,
// cleared to the grey level first.
void draw_over(float background) {
  glClearColor(background, background, background, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glColor4f(0.5f, 1.0f, 0.25f, 0.5f);
  glBegin(GL_QUADS);
  glTexCoord2f(0.5f, 0.5f);
  glVertex2f(0, 0);
  glVertex2f(16, 0);
  glVertex2f(16, 16);
  glVertex2f(0, 16);
  glEnd();
}

// C over the texel T = (0.8, 0.4, 0.2, 0.6).
TEST_F(TexUnitsTest, PresetsCombineColourAndAlphaAsNamed) {
  ASSERT_EQ(glExt.combine_avail, 1);
  const unsigned char texel[4] = {204, 102, 51, 153};
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 16, 0, 16, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  TEX_reset_bind();

  struct {
    int mode;
    float r, g, b, a;
  } cases[] = {
      {0, 0.4f, 0.4f, 0.05f, 0.3f},     {GL_REPLACE, 0.8f, 0.4f, 0.2f, 0.6f},
      {1, 1.0f, 1.0f, 0.45f, 0.5f},     {2, 1.0f, 1.0f, 0.45f, 1.0f},
      {10, 0.4f, 0.4f, 0.05f, 0.6f},    {11, 0.5f, 1.0f, 0.25f, 0.4f},
      {12, 0.5f, 1.0f, 0.25f, 0.3f},    {13, 0.25f, 0.5f, 0.125f, 1.0f},
      {14, 0.5f, 1.0f, 0.25f, 0.5f},    {15, 0.5f, 1.0f, 0.25f, 1.0f},
      {16, 0.4f, 0.4f, 0.05f, 1.0f},    {17, 0.6f, 0.6f, 0.6f, 1.0f},
      {18, 0.68f, 0.64f, 0.22f, 0.5f},  {19, 0.65f, 0.7f, 0.225f, 0.5f},
      {20, 0.3f, 0.6f, 0.15f, 0.5f},    {21, 0.575f, 0.85f, 0.2375f, 0.525f},
      {22, 0.25f, 1.0f, 0.0625f, 0.5f}, {23, 0.4f, 0.4f, 0.05f, 0.6f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    TEX_bind_ref(int(tex), 0, c.mode);
    // Presets 13 to 17 and 23 set the constant colour themselves.
    if (c.mode == 21) TEX_set_blend_level(0, 0.25f);
    unsigned char px[4] = {0, 0, 0, 0};
    draw_over(0.0f);
    glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_NEAR(px[0], c.r * 255, 2.5);
    EXPECT_NEAR(px[1], c.g * 255, 2.5);
    EXPECT_NEAR(px[2], c.b * 255, 2.5);
    // The window has no alpha channel: the alpha comes out as the grey it
    // leaves of a white background when it is the only factor kept.
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_SRC_ALPHA);
    draw_over(1.0f);
    glDisable(GL_BLEND);
    glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_NEAR(px[0], c.a * 255, 2.5);
  }
  glDeleteTextures(1, &tex);
}

}  // namespace
