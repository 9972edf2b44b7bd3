// The render-state cache against a real context. The cache lives in
// function statics for the whole process, so each test first brings the
// cache and OpenGL to one known state; the seeding test runs in a fresh
// child process, where the first call really is the first.
#include "draw/render_state.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/globals.h"
#include "OGL/extensions.h"
#include "tests/support/gl_context.h"

namespace {

using testing_support::GLContext;

bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }

bool depth_mask() {
  GLboolean m = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &m);
  return m == GL_TRUE;
}

int active_unit() {
  GLint u = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &u);
  return u - GL_TEXTURE0_ARB;
}

GLuint binding(GLenum which) {
  GLint id = 0;
  glGetIntegerv(which, &id);
  return GLuint(id);
}

bool unit_on(int u) {
  const int keep = active_unit();
  glActiveTextureARB(GL_TEXTURE0_ARB + u);
  bool r = on(GL_TEXTURE_2D);
  glActiveTextureARB(GL_TEXTURE0_ARB + keep);
  return r;
}

std::string units_on() {
  std::string s;
  for (int u = 0; u < 8; ++u) s += unit_on(u) ? '1' : '0';
  return s;
}

class RenderStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.ok()) << gl_.error();
    ren.tex_units = 8;
    // Whatever the cache held from an earlier test, after this call it holds
    // the plain 2-D state; then OpenGL is made to match it.
    OGL_setstate(1, 0, 3, 4, 9, 11);
    for (int u = 7; u >= 0; --u) {
      glActiveTextureARB(GL_TEXTURE0_ARB + u);
      glDisable(GL_TEXTURE_2D);
    }
    glDisable(GL_FOG);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
  }
  GLContext gl_{64, 64};
};

// Runs in a child process: the statics are seeded from OpenGL on the first
// call, except depth writes, which are assumed off without asking.
void seed_and_report() {
  GLContext gl(64, 64);
  if (!gl.ok()) _exit(3);
  ren.tex_units = 8;
  glEnable(GL_FOG);
  glEnable(GL_BLEND);
  glEnable(GL_ALPHA_TEST);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glDepthMask(GL_TRUE);
  OGL_setstate(1, 0, 3, 4, 9, 11);
  const bool seeded = !on(GL_FOG) && !on(GL_BLEND) && !on(GL_ALPHA_TEST) && !on(GL_DEPTH_TEST) &&
                      !on(GL_TEXTURE_2D) && !on(GL_LIGHTING) && !on(GL_LIGHT0);
  fprintf(stderr, "seeded=%d depth_mask=%d num_units=%d\n", seeded, depth_mask(), num_units);
  _exit(0);
}

TEST(RenderStateSeedTest, FirstCallReadsOpenGlButAssumesDepthWritesOff) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // Depth writes were on, but the cache takes them for off: no call.
  EXPECT_EXIT(seed_and_report(), ::testing::ExitedWithCode(0), "seeded=1 depth_mask=1 num_units=0");
}

TEST_F(RenderStateTest, RepeatedStateMakesNoCall) {
  // Each row sets a state, then undoes one capability behind the cache's
  // back: repeating the call must not repair it, since no call is made.
  struct Case {
    const char* what;
    int args[6];
    GLenum cap;  // 0: the depth mask
  } cases[] = {
      {"fog", {0, 0, 3, 4, 9, 11}, GL_FOG},
      {"texturing", {1, 1, 3, 4, 9, 11}, GL_TEXTURE_2D},
      {"lighting", {1, 0, 2, 4, 9, 11}, GL_LIGHTING},
      {"blending", {1, 0, 3, 5, 9, 11}, GL_BLEND},
      {"alpha test", {1, 0, 3, 6, 9, 11}, GL_ALPHA_TEST},
      {"depth test", {1, 0, 3, 4, 8, 11}, GL_DEPTH_TEST},
      {"depth writes", {1, 0, 3, 4, 9, 10}, 0},
  };
  for (const Case& c : cases) {
    const int* a = c.args;
    OGL_setstate(a[0], a[1], a[2], a[3], a[4], a[5]);
    EXPECT_TRUE(c.cap ? on(c.cap) : depth_mask()) << c.what << " not switched on";
    if (c.cap)
      glDisable(c.cap);
    else
      glDepthMask(GL_FALSE);
    OGL_setstate(a[0], a[1], a[2], a[3], a[4], a[5]);
    EXPECT_FALSE(c.cap ? on(c.cap) : depth_mask()) << c.what << ": the cache called OpenGL again";
    // Back to the plain state; the sabotaged capability is already off.
    OGL_setstate(1, 0, 3, 4, 9, 11);
  }
}

TEST_F(RenderStateTest, OneUnitTogglesUnitZeroWithoutSwitching) {
  // With unit 2 active behind the cache's back, a switch between 0 and 1
  // units lands on unit 2: proof that no unit was selected.
  glActiveTextureARB(GL_TEXTURE2_ARB);
  OGL_setstate(1, 1, 3, 4, 9, 11);
  EXPECT_EQ(active_unit(), 2);
  EXPECT_EQ(units_on(), "00100000");
  EXPECT_EQ(num_units, 1);
  OGL_setstate(1, 0, 3, 4, 9, 11);
  EXPECT_EQ(active_unit(), 2);
  EXPECT_EQ(units_on(), "00000000");
  EXPECT_EQ(num_units, 0);
}

TEST_F(RenderStateTest, UnitCountsAreClampedAndWalked) {
  struct Step {
    int implementation_units, request;
    const char* units;
    int cached;
  } steps[] = {
      {2, 1, "10000000", 1},  {2, 3, "11000000", 2},  // clamped to what the implementation offers
      {8, 4, "11110000", 4},  {8, 2, "11000000", 2},
      {8, 8, "11111111", 8},  {8, -1, "00000000", 0},  // negative counts as none
      {8, 12, "11111111", 8},
  };
  for (const Step& s : steps) {
    ren.tex_units = s.implementation_units;
    OGL_setstate(1, s.request, 3, 4, 9, 11);
    EXPECT_EQ(units_on(), s.units) << "request " << s.request;
    EXPECT_EQ(num_units, s.cached) << "request " << s.request;
    EXPECT_EQ(active_unit(), 0) << "request " << s.request;
  }
}

TEST_F(RenderStateTest, AlphaLightingAndDepthCodes) {
  struct Step {
    int lighting, alpha, depth_test, depth_write;
    bool lit, blend, test, depth, mask;
  } steps[] = {
      {3, 5, 9, 11, false, true, false, false, false},
      {2, 6, 9, 11, true, false, true, false, false},  // 6 after 5: blend off, test on
      {3, 7, 8, 10, false, true, true, true, true},
      {3, 4, 9, 11, false, false, false, false, false},
      {7, 4, 1, 0, false, false, false, false, false},  // other codes mean off
  };
  for (const Step& s : steps) {
    OGL_setstate(1, 0, s.lighting, s.alpha, s.depth_test, s.depth_write);
    EXPECT_EQ(on(GL_LIGHTING), s.lit) << "alpha " << s.alpha;
    EXPECT_EQ(on(GL_LIGHT0), s.lit) << "alpha " << s.alpha;
    EXPECT_EQ(on(GL_BLEND), s.blend) << "alpha " << s.alpha;
    EXPECT_EQ(on(GL_ALPHA_TEST), s.test) << "alpha " << s.alpha;
    EXPECT_EQ(on(GL_DEPTH_TEST), s.depth) << "alpha " << s.alpha;
    EXPECT_EQ(depth_mask(), s.mask) << "alpha " << s.alpha;
  }
}

TEST_F(RenderStateTest, UnknownAlphaCodeLeavesOpenGlAndCacheAlone) {
  OGL_setstate(1, 0, 3, 7, 9, 11);
  OGL_setstate(1, 0, 3, 9, 9, 11);
  EXPECT_TRUE(on(GL_BLEND));
  EXPECT_TRUE(on(GL_ALPHA_TEST));
  // The cache still knows both are on, so the plain code turns them off; a
  // cache that had recorded "both off" would skip the calls here.
  OGL_setstate(1, 0, 3, 4, 9, 11);
  EXPECT_FALSE(on(GL_BLEND));
  EXPECT_FALSE(on(GL_ALPHA_TEST));
  // And the other way round: from "none", an unknown code keeps "none".
  OGL_setstate(1, 0, 3, 0, 9, 11);
  glEnable(GL_BLEND);  // behind the cache's back
  OGL_setstate(1, 0, 3, 4, 9, 11);
  EXPECT_TRUE(on(GL_BLEND)) << "the cache should still hold blending off and make no call";
}

TEST_F(RenderStateTest, BuffersBindOnlyWhenTheIdChanges) {
  ASSERT_NO_FATAL_FAILURE(testing_support::load_gl_extensions(gl_));
  ASSERT_EQ(glExt.vbo_avail, 1);
  // Buffer 0 as the very first bind: already "bound", so nothing is counted.
  OGL_bind_vbo(0);
  OGL_bind_vbo_ind(0);
  EXPECT_EQ(OGL_bind_count(), 0.0f);
  EXPECT_EQ(OGL_bind_count_ind(), 0.0f);

  GLuint ids[2] = {0, 0};
  glExt.glGenBuffersARB(2, ids);
  const unsigned long a = ids[0], b = ids[1];
  OGL_bind_vbo(a);
  OGL_bind_vbo(a);
  EXPECT_EQ(OGL_bind_count(), 1.0f);
  EXPECT_EQ(binding(GL_ARRAY_BUFFER_BINDING_ARB), ids[0]);
  // Unbound behind the binder's back: the repeat makes no call.
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  OGL_bind_vbo(a);
  EXPECT_EQ(binding(GL_ARRAY_BUFFER_BINDING_ARB), 0u);

  // The element target keeps its own record and count.
  OGL_bind_vbo_ind(b);
  OGL_bind_vbo_ind(a);
  EXPECT_EQ(OGL_bind_count_ind(), 2.0f);
  EXPECT_EQ(binding(GL_ELEMENT_ARRAY_BUFFER_BINDING_ARB), ids[0]);
  EXPECT_EQ(OGL_bind_count(), 1.0f);
}

}  // namespace
