// The matrix builders against Mesa's own fixed-function matrices: each case
// loads the identity, applies the GL call, reads the modelview back and
// compares it with ours. Mesa keeps matrices in single precision, hence the
// tolerance.
#include "draw/matrix.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "tests/support/gl_context.h"

namespace {

using testing_support::GLContext;
using testing_support::glu_symbol;

void expect_matrix_near(const double* want, const double* got, const char* what) {
  for (int i = 0; i < 16; ++i)
    EXPECT_NEAR(want[i], got[i], 2e-5 * std::max(1.0, std::fabs(want[i])))
        << what << " element " << i << " (row " << i % 4 << ", column " << i / 4 << ")";
}

void gl_reference(const std::function<void()>& apply, double* out) {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  apply();
  glGetDoublev(GL_MODELVIEW_MATRIX, out);
}

typedef void (*LookAtFn)(double, double, double, double, double, double, double, double, double);

TEST(MatrixTest, BuildersMatchMesa) {
  GLContext gl(64, 64);
  ASSERT_TRUE(gl.ok()) << gl.error();
  auto glu_look_at = reinterpret_cast<LookAtFn>(glu_symbol("gluLookAt"));
  ASSERT_NE(glu_look_at, nullptr) << "libGLU.so.1 not found";

  struct Case {
    const char* what;
    std::function<void(double*)> ours;
    std::function<void()> theirs;
  };
  const Case cases[] = {
      {"ortho of the 1024x768 window",
       [](double* m) { buildOrthoMatrix(m, 0, 1024, 0, 768, -1, 1); },
       [] { glOrtho(0, 1024, 0, 768, -1, 1); }},
      {"ortho off centre", [](double* m) { buildOrthoMatrix(m, -30, 70, 5, 25, 2, 90); },
       [] { glOrtho(-30, 70, 5, 25, 2, 90); }},
      {"symmetric frustum", [](double* m) { buildFrustumMatrix(m, -1, 1, -0.75, 0.75, 1, 1000); },
       [] { glFrustum(-1, 1, -0.75, 0.75, 1, 1000); }},
      {"skewed frustum", [](double* m) { buildFrustumMatrix(m, -0.2, 0.6, -0.1, 0.5, 0.5, 40); },
       [] { glFrustum(-0.2, 0.6, -0.1, 0.5, 0.5, 40); }},
      {"perspective 60 degrees",
       [](double* m) { buildPerspectiveMatrix(m, 60, 4.0 / 3.0, 0.5, 500); },
       [] {
         double h = std::tan(M_PI * 60 / 360.0) * 0.5;
         glFrustum(-h * 4 / 3, h * 4 / 3, -h, h, 0.5, 500);
       }},
      {"look-at from above", [](double* m) { buildLookAtMatrix(m, 3, 10, -4, 1, 0, 2, 0, 1, 0); },
       [&] { glu_look_at(3, 10, -4, 1, 0, 2, 0, 1, 0); }},
      {"look-at with a tilted, unnormalised up",
       [](double* m) { buildLookAtMatrix(m, -5, 2, 7, 0, 0, 0, 0.3, 2, 0.1); },
       [&] { glu_look_at(-5, 2, 7, 0, 0, 0, 0.3, 2, 0.1); }},
      {"rotation about an oblique axis", [](double* m) { buildRotation(m, 33, 1, 2, -0.5); },
       [] { glRotated(33, 1, 2, -0.5); }},
      {"rotation about -y", [](double* m) { buildRotation(m, 71, 0, -3, 0); },
       [] { glRotated(71, 0, -3, 0); }},
      {"translate then rotate",
       [](double* m) {
         buildLookAtMatrix(m, 1, 2, 3, 0, 0, 0, 0, 1, 0);
         applyTranslation(m, 4, -5, 6);
         applyRotation(m, -20, 0, 0, 1);
       },
       [&] {
         glu_look_at(1, 2, 3, 0, 0, 0, 0, 1, 0);
         glTranslated(4, -5, 6);
         glRotated(-20, 0, 0, 1);
       }},
  };
  for (const Case& c : cases) {
    double ours[16], theirs[16];
    c.ours(ours);
    gl_reference(c.theirs, theirs);
    expect_matrix_near(theirs, ours, c.what);
  }
}

TEST(MatrixTest, MultiplyAndInvertAgreeWithMesa) {
  GLContext gl(64, 64);
  ASSERT_TRUE(gl.ok()) << gl.error();
  double a[16], b[16], product[16], theirs[16];
  buildFrustumMatrix(a, -1, 1, -1, 1, 1, 10);
  buildRotation(b, 40, 1, 1, 0);
  applyTranslation(b, 2, 3, 4);
  multMatrices(product, a, b);
  gl_reference(
      [&] {
        glMultMatrixd(a);
        glMultMatrixd(b);
      },
      theirs);
  expect_matrix_near(theirs, product, "a x b");

  double inverse[16], back[16], id[16];
  ASSERT_EQ(invertMatrix(inverse, product), 1);
  multMatrices(back, product, inverse);
  setIdentityMatrix(id);
  expect_matrix_near(id, back, "m x inverse(m)");

  // A zero row: singular, and the output is left as it was.
  double singular[16];
  copyMatrix(singular, product);
  for (int c = 0; c < 4; ++c) singular[c * 4 + 2] = 0.0;
  double out[16];
  for (double& v : out) v = 7.0;
  EXPECT_EQ(invertMatrix(out, singular), 0);
  for (double v : out) EXPECT_EQ(v, 7.0);
}

TEST(MatrixTest, TransposeAndAdd) {
  double m[16], t[16], sum[16];
  for (int i = 0; i < 16; ++i) m[i] = i;
  transposeMatrix(t, m);
  EXPECT_EQ(t[1], 4.0);  // (row 1, column 0) of t is (row 0, column 1) of m
  EXPECT_EQ(t[14], 11.0);
  addMatrices(sum, m, t);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(sum[c * 4 + r], sum[r * 4 + c]);
}

TEST(MatrixTest, PrintShowsRows) {
  double m[16];
  buildOrthoMatrix(m, 0, 2, 0, 4, -1, 1);
  applyTranslation(m, 1, 0, 0);
  testing::internal::CaptureStdout();
  printMatrix("ortho", m);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ortho\n"
            " [ 1.000000 0.000000 0.000000 0.000000 ]\n"
            " [ 0.000000 0.500000 0.000000 -1.000000 ]\n"
            " [ 0.000000 0.000000 -1.000000 0.000000 ]\n"
            " [ 0.000000 0.000000 0.000000 1.000000 ]\n"
            "\n");
}

TEST(MatrixTest, RotationAxisEdgeCases) {
  double id[16];
  setIdentityMatrix(id);
  struct Case {
    double x, y, z;
    bool identity;
  } cases[] = {
      {0, 0, 0, true},        // no axis at all
      {5e-5, 5e-5, 0, true},  // two components, too short to normalise
      {1e-6, 0, 0, false},    // one component: rotates whatever its length
      {0, 0, -1e-9, false},
  };
  for (const Case& c : cases) {
    double m[16];
    buildRotation(m, 30, c.x, c.y, c.z);
    EXPECT_EQ(std::memcmp(m, id, sizeof m) == 0, c.identity)
        << "axis " << c.x << ", " << c.y << ", " << c.z;
  }

  // 90 degrees about -z takes x onto -y.
  double m[16];
  buildRotation(m, 90, 0, 0, -1);
  EXPECT_NEAR(m[0], 0.0, 1e-12);
  EXPECT_NEAR(m[1], -1.0, 1e-12);
  EXPECT_NEAR(m[2], 0.0, 1e-12);
  // A tiny x axis matches the unit x axis exactly.
  double tiny[16], unit[16];
  buildRotation(tiny, 25, 1e-6, 0, 0);
  buildRotation(unit, 25, 1, 0, 0);
  EXPECT_EQ(std::memcmp(tiny, unit, sizeof tiny), 0);
}

TEST(MatrixTest, LookAtWithEyeOnCentreStillWritesAMatrix) {
  double m[16];
  for (double& v : m) v = 99.0;
  buildLookAtMatrix(m, 1, 2, 3, 1, 2, 3, 0, 1, 0);
  // z is all zero, and so are x and y built from it; only the last row and
  // the translation of a zero basis remain.
  for (int c = 0; c < 3; ++c) EXPECT_EQ(m[c * 4 + 2], 0.0);
  EXPECT_EQ(m[15], 1.0);
  EXPECT_EQ(m[14], 0.0);
  for (double v : m) EXPECT_FALSE(std::isnan(v));
}

TEST(MatrixTest, AccumSegmentClipsToTheSlab) {
  const double big = 9.9e9;
  struct Case {
    const char* what;
    double y_lo, y_hi;
    double p[3], q[3];
    bool adds;
    double lo[3], hi[3];
  } cases[] = {
      {"wholly above", 0, 10, {0, 20, 0}, {5, 30, 5}, false, {}, {}},
      {"wholly inside, either order", 0, 10, {4, 8, -1}, {1, 2, 3}, true, {1, 2, -1}, {4, 8, 3}},
      {"crosses both planes", 0, 10, {0, -10, 0}, {20, 30, -40}, true, {5, 0, -20}, {10, 10, -10}},
      {"level inside", 0, 10, {-1, 5, 2}, {3, 5, 1}, true, {-1, 5, 1}, {3, 5, 2}},
      {"level outside", 0, 10, {-1, 11, 2}, {3, 11, 1}, false, {}, {}},
      {"zero-height slab crossed", 4, 4, {0, 0, 0}, {8, 8, 16}, true, {4, 4, 8}, {4, 4, 8}},
      {"zero-height slab missed", 40, 40, {0, 0, 0}, {8, 8, 16}, false, {}, {}},
  };
  for (const Case& c : cases) {
    double lo[3] = {big, big, big}, hi[3] = {-big, -big, -big};
    accum_segment(c.y_lo, c.y_hi, c.p, c.q, lo, hi);
    for (int i = 0; i < 3; ++i) {
      if (c.adds) {
        EXPECT_NEAR(lo[i], c.lo[i], 1e-5) << c.what << " lo " << i;
        EXPECT_NEAR(hi[i], c.hi[i], 1e-5) << c.what << " hi " << i;
      } else {
        EXPECT_EQ(lo[i], big) << c.what;
        EXPECT_EQ(hi[i], -big) << c.what;
      }
    }
  }
}

}  // namespace
