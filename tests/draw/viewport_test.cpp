// The 2-D layout, viewport and scissor boxes, read back from a real context.
#include "draw/viewport.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "core/globals.h"
#include "draw/camera.h"
#include "tests/support/gl_context.h"

namespace {

using testing_support::GLContext;

class ViewportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.ok()) << gl_.error();
    xcam.reset();
    mnw.cur_window = 0;
    mnw.origin_x = mnw.origin_y = 0;
    mnw.scale = 1;
  }
  void expect_viewport(int x, int y, int w, int h) {
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], x);
    EXPECT_EQ(vp[1], y);
    EXPECT_EQ(vp[2], w);
    EXPECT_EQ(vp[3], h);
  }
  void expect_scissor(int x, int y, int w, int h) {
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(box[0], x);
    EXPECT_EQ(box[1], y);
    EXPECT_EQ(box[2], w);
    EXPECT_EQ(box[3], h);
  }
  // The 2-D projection Mesa builds for the whole drawable.
  void expect_ortho_over(int w, int h) {
    double want[16], got[16];
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glGetDoublev(GL_PROJECTION_MATRIX, want);
    glPopMatrix();
    glGetDoublev(GL_PROJECTION_MATRIX, got);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << i;
    glMatrixMode(GL_MODELVIEW);
  }
  GLContext gl_{320, 200};
};

TEST_F(ViewportTest, PixSpecsLaysOutTheDrawable) {
  struct Case {
    int dx, dy;
    float off;
  } cases[] = {{800, 600, 0}, {1024, 768, 0}, {1280, 1024, 128}, {1025, 700, 0.5f}};
  for (const Case& c : cases) {
    mnw.pixel_dx = c.dx;
    mnw.pixel_dy = c.dy;
    OGL_pix_specs(0);
    EXPECT_EQ(mnw.scale, 1.0f);
    EXPECT_EQ(mnw.design_off_x, c.off) << c.dx;
    EXPECT_EQ(mnw.area_left, 0.0f);
    EXPECT_EQ(mnw.area_bottom, 0.0f);
    EXPECT_EQ(mnw.area_right, float(c.dx));
    EXPECT_EQ(mnw.area_top, float(c.dy));
    expect_viewport(0, 0, c.dx, c.dy);
    expect_ortho_over(c.dx, c.dy);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    double mv[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(mv[i], i % 5 == 0 ? 1.0 : 0.0);
    EXPECT_FALSE(xcam.modelview_from_gl);
    EXPECT_TRUE(xcam.ortho);
  }
}

TEST_F(ViewportTest, PixSpecsWithoutAWindowLeavesGlAlone) {
  glViewport(1, 2, 3, 4);
  xcam.modelview_from_gl = true;
  mnw.cur_window = -1;
  mnw.pixel_dx = 1280;
  mnw.pixel_dy = 1024;
  OGL_pix_specs(0);
  EXPECT_EQ(mnw.design_off_x, 0.0f);
  EXPECT_EQ(mnw.area_right, 1280.0f);
  expect_viewport(1, 2, 3, 4);
  EXPECT_TRUE(xcam.modelview_from_gl);  // the camera was not touched either
}

TEST_F(ViewportTest, ViewportModes) {
  mnw.pixel_dx = 640;
  mnw.pixel_dy = 480;
  OGL_pix_specs(0);
  // Mode 2 ignores every coordinate and covers the whole drawable; the zoom
  // divides the area.
  OGL_viewport(2, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 2.0f, 0);
  expect_viewport(0, 0, 640, 480);
  expect_ortho_over(320, 240);

  // Mode 3: a frustum; the window is scaled by near, the aspect flag fits
  // bottom and top to the viewport's shape.
  OGL_viewport(3, -1, 10, -1, 20, 1, 210, 0.5f, 1, 120, 100, 1.0f, 1);
  expect_viewport(10, 20, 200, 100);
  double want[16], got[16];
  glMatrixMode(GL_PROJECTION);
  glGetDoublev(GL_PROJECTION_MATRIX, got);
  glLoadIdentity();
  glFrustum(-0.5, 0.5, -0.25, 0.25, 0.5, 100);
  glGetDoublev(GL_PROJECTION_MATRIX, want);
  glMatrixMode(GL_MODELVIEW);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << i;
  EXPECT_FALSE(xcam.ortho);

  // Any other mode keeps the camera's projection and takes the corners as given.
  OGL_viewport(1, 0, 5, 0, 6, 0, 25, 0, 0, 36, 0, 1.0f, 0);
  expect_viewport(5, 6, 20, 30);
  glMatrixMode(GL_PROJECTION);
  glGetDoublev(GL_PROJECTION_MATRIX, got);
  glMatrixMode(GL_MODELVIEW);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << i;

  OGL_screensize(2, 1, 2, 3, 4);
  expect_viewport(0, 0, 640, 480);
  mnw.scale = 2;
  OGL_screensize(3, 1, 2, 11.7f, 22);
  expect_viewport(2, 4, 21, 40);  // (23.4 - 2) truncated
}

TEST_F(ViewportTest, ScissorBoxes) {
  struct Case {
    float x, y, w, h, ox, oy, scale;
    int px, py, pw, ph;
  } cases[] = {
      {10, 20, 100, 12, 30, 40, 1, 40, 60, 100, 12},
      {10, 20, 0, 12, 0, 0, 1, 10, 20, 0, 12},   // zero width: nothing drawn
      {10, 20, 50, -5, 0, 0, 1, 10, 20, 50, 0},  // negative height
      {2.6f, 3.9f, 10.2f, 4.4f, 0, 0, 2, 5, 7, 20, 8},
  };
  for (const Case& c : cases) {
    mnw.origin_x = c.ox;
    mnw.origin_y = c.oy;
    mnw.scale = c.scale;
    OGL_scissors(c.x, c.y, c.w, c.h);
    expect_scissor(c.px, c.py, c.pw, c.ph);
  }
  OGL_scissors_end();
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(ViewportTest, SpecularAndPolygonOffset) {
  OGL_setspec(0.25f);
  GLfloat light[4], mat[4];
  glGetLightfv(GL_LIGHT0, GL_SPECULAR, light);
  glGetMaterialfv(GL_FRONT, GL_SPECULAR, mat);
  GLfloat shine = 0;
  glGetMaterialfv(GL_FRONT, GL_SHININESS, &shine);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(light[i], 0.25f);
    EXPECT_EQ(mat[i], 0.25f);
  }
  EXPECT_EQ(light[3], 1.0f);
  EXPECT_EQ(shine, 128.0f);

  OGL_poly_offset(3);
  GLfloat factor = 0, units = 0;
  glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &factor);
  glGetFloatv(GL_POLYGON_OFFSET_UNITS, &units);
  EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
  EXPECT_EQ(factor, -30.0f);
  EXPECT_EQ(units, -1.0f);
  OGL_poly_offset(0);
  EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
}

}  // namespace
