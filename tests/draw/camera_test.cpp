// The camera against Mesa: its projection and modelview as GL would build
// them, GLU's projection of points, and the volume queries.
#include "draw/camera.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

#include "core/globals.h"
#include "draw/matrix.h"
#include "tests/support/gl_context.h"

namespace {

using testing_support::GLContext;
using testing_support::glu_symbol;

void gl_matrix(GLenum which, double* out) { glGetDoublev(which, out); }

void expect_near16(const double* want, const double* got, const char* what) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(want[i], got[i], 2e-5 * std::max(1.0, std::fabs(want[i])))
        << what << " [" << i << "]";
}

TEST(CameraTest, SetupMatchesGlOrthoAndGlFrustum) {
  GLContext gl(64, 64);
  ASSERT_TRUE(gl.ok()) << gl.error();
  xcam_class cam;
  double ref[16];

  cam.SetupOrtho(0, 1024, 0, 768, -1, 1);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1024, 0, 768, -1, 1);
  gl_matrix(GL_PROJECTION_MATRIX, ref);
  expect_near16(ref, cam.proj, "ortho");
  EXPECT_TRUE(cam.ortho);
  EXPECT_EQ(cam.near_clip, 1.0);  // stored negated
  EXPECT_EQ(cam.far_clip, -1.0);
  EXPECT_EQ(cam.bounds[0], 768.0);  // top, left, right, bottom
  EXPECT_EQ(cam.bounds[2], 1024.0);

  cam.SetupFrustum(-2, 1, -1, 1.5, 0.5, 300);
  glLoadIdentity();
  glFrustum(-2, 1, -1, 1.5, 0.5, 300);
  gl_matrix(GL_PROJECTION_MATRIX, ref);
  expect_near16(ref, cam.proj, "frustum");
  EXPECT_FALSE(cam.ortho);
  EXPECT_EQ(cam.near_clip, -0.5);
  EXPECT_EQ(cam.far_clip, -300.0);
  EXPECT_EQ(cam.fake_far_clip, -300.0);

  // Modelview operations compose like their GL counterparts.
  cam.LookAtPtFromDir(10, 2, -3, 30, 20, 50);
  cam.Translate(1, 2, 3);
  cam.Rotate(45, 0, 1, 0);
  auto glu_look_at = reinterpret_cast<void (*)(double, double, double, double, double, double,
                                               double, double, double)>(glu_symbol("gluLookAt"));
  ASSERT_NE(glu_look_at, nullptr);
  const double a = 30 * M_PI / 180, b = 20 * M_PI / 180;
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glu_look_at(10 + 50 * cos(a) * cos(b), 2 + 50 * sin(b), -3 + 50 * sin(a) * cos(b), 10, 2, -3, 0,
              1, 0);
  glTranslated(1, 2, 3);
  glRotated(45, 0, 1, 0);
  gl_matrix(GL_MODELVIEW_MATRIX, ref);
  expect_near16(ref, cam.modelview, "modelview");
}

TEST(CameraTest, MtrToPixAgreesWithGluProject) {
  GLContext gl(320, 240);
  ASSERT_TRUE(gl.ok()) << gl.error();
  auto glu_project =
      reinterpret_cast<int (*)(double, double, double, const double*, const double*, const int*,
                               double*, double*, double*)>(glu_symbol("gluProject"));
  ASSERT_NE(glu_project, nullptr);
  xcam_class cam;
  cam.SetupPerspective(50, 320.0 / 240.0, 1, 100);
  cam.LookAtPtFromPt(3, 4, 10, 0, 0, 0, 0, 1, 0);
  glViewport(20, 10, 300, 200);
  const int vp[4] = {20, 10, 300, 200};
  mnw.origin_x = 15;
  mnw.origin_y = 5;
  mnw.scale = 1;
  const double points[][3] = {{0, 0, 0}, {1, -2, 0.5}, {-3, 1, -4}};
  for (const auto& p : points) {
    double out[2], wx, wy, wz;
    cam.mtr_to_pix(p, out);
    ASSERT_EQ(glu_project(p[0], p[1], p[2], cam.modelview, cam.proj, vp, &wx, &wy, &wz), GL_TRUE);
    EXPECT_NEAR(out[0], wx - 15, 1e-6);
    EXPECT_NEAR(out[1], wy - 5, 1e-6);
  }
}

TEST(CameraTest, ReadsGlModelviewOnceWhenStale) {
  GLContext gl(64, 64);
  ASSERT_TRUE(gl.ok()) << gl.error();
  xcam_class cam;  // a new camera does not trust its own modelview
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glRotated(90, 0, 1, 0);  // turning the world left: the eye now looks down +x
  double dir[3];
  cam.CalcDirection(dir);
  EXPECT_NEAR(dir[0], 1.0, 1e-6);
  EXPECT_NEAR(dir[2], 0.0, 1e-6);
  EXPECT_FALSE(cam.modelview_from_gl);
  // From now on the camera's own matrix counts, whatever GL holds.
  glLoadIdentity();
  double up[3];
  cam.CalcUp(up);
  EXPECT_NEAR(up[1], 1.0, 1e-6);
  cam.CalcDirection(dir);
  EXPECT_NEAR(dir[0], 1.0, 1e-6);
}

TEST(CameraTest, DebugAidsShrinkTheWindows) {
  xcam_class cam;
  double want[16];
  gKillClip.own_value = 1;
  cam.SetupFrustum(-10, 10, -5, 5, 1, 100);
  buildFrustumMatrix(want, -1, 1, -0.5, 0.5, 1, 100);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(cam.proj[i], want[i], 1e-5) << i;
  // The culling planes still follow the full window: the left plane's
  // normal leans as far as the corner ray (-10, *, -1) allows.
  float h = 0, v = 0;
  ASSERT_EQ(cam.GetFOVHalfCosines(&h, &v), 1);
  const float full_h = h;

  gKillCull.own_value = NAN;  // NaN counts as on
  cam.SetupFrustum(-10, 10, -5, 5, 1, 100);
  ASSERT_EQ(cam.GetFOVHalfCosines(&h, &v), 1);
  EXPECT_GT(h, full_h + 0.1f);  // a narrower volume: planes nearer the axis
  gKillClip.own_value = 0;
  gKillCull.own_value = 0;

  cam.SetupFrustum(-10, 10, -5, 5, 1, 100);
  ASSERT_EQ(cam.GetFOVHalfCosines(&h, &v), 1);
  EXPECT_FLOAT_EQ(h, full_h);
  // The half cosines of a symmetric window: cos of the half angle's
  // complement, the normal's component along the side axis.
  EXPECT_NEAR(h, 1.0 / std::sqrt(1.0 + 100.0), 1e-3);
}

TEST(CameraTest, OrthographicQueriesAndFarPlane) {
  xcam_class cam;
  cam.SetupOrtho(-1, 1, -1, 1, 1, 50);
  float h = 123, v = 456;
  EXPECT_EQ(cam.GetFOVHalfCosines(&h, &v), 0);
  EXPECT_EQ(h, 123);
  EXPECT_EQ(v, 456);

  cam.SetFakeFarClippingPlane(20);
  EXPECT_EQ(cam.fake_far_clip, -20.0);
  cam.SetFakeFarClippingPlane(80);  // beyond the far clip: stays at it
  EXPECT_EQ(cam.fake_far_clip, -50.0);
  cam.SetFakeFarClippingPlane(20);
  cam.ResetFakeFarClippingPlane();
  EXPECT_EQ(cam.fake_far_clip, cam.far_clip);
}

TEST(CameraTest, FrustumBoundsInASlab) {
  xcam_class cam;
  cam.SetupFrustum(-1, 1, -1, 1, 1, 100);
  cam.LookAtPtFromPt(0, 0, 0, 0, 0, -1, 0, 1, 0);  // eye at origin, looking down -z
  double lo[3], hi[3];
  // The slab 0..1 above the eye, volume cut at 10: x within +-10, z from
  // the near plane out to -10.
  ASSERT_TRUE(cam.GetFrustumBounds(10, 0, 1, lo, hi));
  EXPECT_NEAR(lo[0], -10, 1e-3);
  EXPECT_NEAR(hi[0], 10, 1e-3);
  EXPECT_NEAR(lo[1], 0, 1e-3);
  EXPECT_NEAR(hi[1], 1, 1e-3);
  EXPECT_NEAR(lo[2], -10, 1e-3);
  EXPECT_GT(hi[2], -1.0001);

  // A slab the volume never reaches.
  EXPECT_FALSE(cam.GetFrustumBounds(10, 500, 600, lo, hi));
  EXPECT_EQ(lo[0], 9.9e9);
  EXPECT_EQ(hi[0], -9.9e9);

  // An orthographic box from its bounds.
  cam.SetupOrtho(-2, 3, -4, 5, 1, 9);
  cam.Identity();
  ASSERT_TRUE(cam.GetFrustumBounds(100, -100, 100, lo, hi));
  EXPECT_NEAR(lo[0], -2, 1e-5);
  EXPECT_NEAR(hi[0], 3, 1e-5);
  EXPECT_NEAR(lo[1], -4, 1e-5);
  EXPECT_NEAR(hi[1], 5, 1e-5);
  EXPECT_NEAR(lo[2], -9, 1e-5);
  EXPECT_NEAR(hi[2], -1, 1e-5);
}

TEST(CameraTest, LookAtCameraEnclosesTheOtherVolume) {
  xcam_class viewer;
  viewer.SetupPerspective(60, 1.5, 1, 40);
  viewer.LookAtPtFromPt(5, 3, 8, 0, 0, 0, 0, 1, 0);
  xcam_class light;
  const double dir[3] = {0.3, -1, 0.2};
  double near_out = 0, far_out = 0;
  light.LookAtCamera(&viewer, dir, 100, near_out, far_out);
  EXPECT_TRUE(light.ortho);
  EXPECT_LT(near_out, far_out);
  EXPECT_EQ(light.near_clip, -near_out);

  // Every corner of the viewer's volume lands inside the light's clip cube,
  // and together they touch its faces.
  double inv_proj[16], inv_mv[16], mvp[16];
  ASSERT_EQ(invertMatrix(inv_proj, viewer.proj), 1);
  ASSERT_EQ(invertMatrix(inv_mv, viewer.modelview), 1);
  multMatrices(mvp, light.proj, light.modelview);
  double extreme = 0;
  for (int i = 0; i < 8; ++i) {
    double c[4] = {i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0, 1.0}, e[4], w[4],
           clip[4];
    for (int r = 0; r < 4; ++r)
      e[r] =
          inv_proj[r] * c[0] + inv_proj[4 + r] * c[1] + inv_proj[8 + r] * c[2] + inv_proj[12 + r];
    for (double& x : e) x /= e[3];
    for (int r = 0; r < 4; ++r)
      w[r] = inv_mv[r] * e[0] + inv_mv[4 + r] * e[1] + inv_mv[8 + r] * e[2] + inv_mv[12 + r];
    for (int r = 0; r < 4; ++r)
      clip[r] = mvp[r] * w[0] + mvp[4 + r] * w[1] + mvp[8 + r] * w[2] + mvp[12 + r] * w[3];
    for (int k = 0; k < 3; ++k) {
      EXPECT_LE(std::fabs(clip[k]), 1.0 + 1e-9) << "corner " << i << " axis " << k;
      extreme = std::max(extreme, std::fabs(clip[k]));
    }
  }
  EXPECT_NEAR(extreme, 1.0, 1e-9);
}

TEST(CameraTest, CopiesAreWhole) {
  xcam_class a;
  a.SetupFrustum(-1, 1, -1, 1, 2, 30);
  a.Translate(1, 2, 3);
  xcam_class b(&a), c(static_cast<const xcam_class*>(nullptr));
  EXPECT_EQ(b.modelview[12], a.modelview[12]);
  EXPECT_EQ(b.planes[1][0], a.planes[1][0]);
  EXPECT_FALSE(b.ortho);
  EXPECT_TRUE(c.ortho);  // a null source leaves a fresh camera
  EXPECT_EQ(c.proj[0], 1.0);
}

}  // namespace
