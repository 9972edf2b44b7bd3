// The camera's matrices, clipping distances and culling planes, kept in
// the layout OpenGL loads.
//
// Contents
//   [SECTION] Vector helpers
//   [SECTION] Matrices
//   [SECTION] Directions and billboards
//   [SECTION] Projection and culling
#include "draw/camera.h"

#include <GL/gl.h>

#include <cmath>

#include "core/globals.h"
#include "draw/matrix.h"

xcam_class xcam;
UTL_stat gKillCull("perf/kill_cull", stat_perf, 0.0f);
UTL_stat gKillClip("perf/kill_clip", stat_perf, 0.0f);

// [SECTION] Vector helpers

namespace {

void cross(double* out, const double* a, const double* b) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

template <typename T>
void normalise_if_long(T* v) {
  double len = std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] + double(v[2]) * v[2]);
  if (len > 0.0)
    for (int i = 0; i < 3; ++i) v[i] = T(v[i] / len);
}

// Column vector out = m x v, four components.
void transform(double* out, const double* m, const double* v) {
  for (int r = 0; r < 4; ++r)
    out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
}

// A statistic that is not exactly 0 is on: NaN counts as on.
bool aid_on(float v) { return !(v == 0.0f); }

// The central tenth of [a, b], in single precision as the debug aid always
// computed it, clamped into the range of the two bounds.
void central_tenth(double a, double b, double* lo, double* hi) {
  float fa = float(a), fb = float(b);
  float l = fa + 0.45f * (fb - fa);
  float h = fa + 0.55f * (fb - fa);
  float mn = fa < fb ? fa : fb, mx = fa < fb ? fb : fa;
  *lo = l < mn ? mn : (l > mx ? mx : l);
  *hi = h < mn ? mn : (h > mx ? mx : h);
}

}  // namespace

// [SECTION] Matrices

xcam_class::xcam_class() {
  setIdentityMatrix(proj);
  setIdentityMatrix(modelview);
}

xcam_class::xcam_class(const xcam_class* other) : xcam_class() {
  if (other) *this = *other;
}

void xcam_class::store_ortho(const double* box) {
  ortho = true;
  buildOrthoMatrix(proj, box[0], box[1], box[2], box[3], box[4], box[5]);
  bounds[0] = box[3];
  bounds[1] = box[0];
  bounds[2] = box[1];
  bounds[3] = box[2];
  near_clip = -box[4];
  far_clip = fake_far_clip = -box[5];
  changed = true;
}

void xcam_class::SetupOrtho(double left, double right, double bottom, double top, double near,
                            double far) {
  const double box[6] = {left, right, bottom, top, near, far};
  store_ortho(box);
}

void xcam_class::SetupFrustum(double left, double right, double bottom, double top, double near,
                              double far) {
  ortho = false;
  double ml = left, mr = right, mb = bottom, mt = top;
  if (aid_on(gKillClip.own_value)) {
    central_tenth(left, right, &ml, &mr);
    central_tenth(bottom, top, &mb, &mt);
  }
  buildFrustumMatrix(proj, ml, mr, mb, mt, near, far);

  double l = left, r = right, b = bottom, t = top;
  if (aid_on(gKillCull.own_value)) {
    central_tenth(left, right, &l, &r);
    central_tenth(bottom, top, &b, &t);
  }
  double A[3] = {l, t, -near}, B[3] = {r, t, -near}, C[3] = {l, b, -near}, D[3] = {r, b, -near};
  normalise_if_long(A);
  normalise_if_long(B);
  normalise_if_long(C);
  normalise_if_long(D);
  cross(planes[0], A, B);
  cross(planes[1], C, A);
  cross(planes[2], B, D);
  cross(planes[3], D, C);
  for (auto& p : planes) normalise_if_long(p);

  near_clip = -near;
  far_clip = fake_far_clip = -far;
  changed = true;
}

void xcam_class::SetupPerspective(double fovy, double aspect, double near, double far) {
  double h = std::tan(M_PI * fovy / 360.0) * near;
  SetupFrustum(-h * aspect, h * aspect, -h, h, near, far);
}

void xcam_class::LookAtPtFromPt(double ex, double ey, double ez, double cx, double cy, double cz,
                                double ux, double uy, double uz) {
  buildLookAtMatrix(modelview, ex, ey, ez, cx, cy, cz, ux, uy, uz);
  changed = true;
}

void xcam_class::LookAtPtFromDir(double x, double y, double z, double a, double b, double dist) {
  double ar = a * M_PI / 180.0, br = b * M_PI / 180.0;
  LookAtPtFromPt(x + dist * std::cos(ar) * std::cos(br), y + dist * std::sin(br),
                 z + dist * std::sin(ar) * std::cos(br), x, y, z, 0.0, 1.0, 0.0);
}

void xcam_class::Identity() {
  setIdentityMatrix(modelview);
  changed = true;
}

void xcam_class::Translate(double x, double y, double z) {
  applyTranslation(modelview, x, y, z);
  changed = true;
}

void xcam_class::Rotate(double angle, double x, double y, double z) {
  applyRotation(modelview, angle, x, y, z);
  changed = true;
}

void xcam_class::SetFakeFarClippingPlane(double d) {
  // Both distances are stored negated, so the larger value is the nearer plane.
  fake_far_clip = float(-d) > float(far_clip) ? -d : far_clip;
}

void xcam_class::ResetFakeFarClippingPlane() { fake_far_clip = far_clip; }

int xcam_class::GetFOVHalfCosines(float* h, float* v) {
  if (ortho) return 0;
  if (h) *h = float((planes[1][0] - planes[2][0]) / 2.0);
  if (v) *v = float((planes[3][1] - planes[0][1]) / 2.0);
  return 1;
}

void xcam_class::read_gl_modelview_if_stale() {
  if (!modelview_from_gl) return;
  glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
  modelview_from_gl = false;
  changed = true;
}

// [SECTION] Directions and billboards

void xcam_class::CalcUp(double* out) {
  read_gl_modelview_if_stale();
  double t[16], r[4];
  const double pt[4] = {0.0, 1.0, 0.0, 1.0};
  transposeMatrix(t, modelview);
  transform(r, t, pt);
  out[0] = r[0], out[1] = r[1], out[2] = r[2];
  normalise_if_long(out);
}

void xcam_class::CalcDirection(double* out) {
  read_gl_modelview_if_stale();
  double t[16], r[4];
  const double pt[4] = {0.0, 0.0, -1.0, 1.0};
  transposeMatrix(t, modelview);
  transform(r, t, pt);
  out[0] = r[0], out[1] = r[1], out[2] = r[2];
  normalise_if_long(out);
}

void xcam_class::CalcRight(double* out) {
  double dir[3], up[3];
  CalcDirection(dir);
  CalcUp(up);
  cross(out, dir, up);
}

void xcam_class::CalcBillboardGround(float* a, float* b) {
  double dir[3], va[3], vb[3];
  const double y_axis[3] = {0.0, 1.0, 0.0};
  CalcDirection(dir);
  cross(va, dir, y_axis);
  normalise_if_long(va);
  cross(vb, va, dir);
  normalise_if_long(vb);
  for (int i = 0; i < 3; ++i) a[i] = float(va[i]), b[i] = float(vb[i]);
}

void xcam_class::CalcBillboardCamera(float* a, float* b) {
  double dir[3], up[3], va[3];
  CalcDirection(dir);
  CalcUp(up);
  cross(va, dir, up);
  normalise_if_long(va);
  for (int i = 0; i < 3; ++i) a[i] = float(va[i]), b[i] = float(up[i]);
}

// [SECTION] Projection and culling

void xcam_class::mtr_to_pix(const double* p, double* out) {
  double mvp[16], clip[4];
  const double v[4] = {p[0], p[1], p[2], 1.0};
  multMatrices(mvp, proj, modelview);
  transform(clip, mvp, v);
  double x = clip[0], y = clip[1];
  if (clip[3] != 0.0) x /= clip[3], y /= clip[3];
  float vp[4];
  glGetFloatv(GL_VIEWPORT, vp);
  double px = (x + 1.0) * 0.5 * vp[2] + vp[0];
  double py = (y + 1.0) * 0.5 * vp[3] + vp[1];
  out[0] = (px - mnw.origin_x) / mnw.scale;
  out[1] = (py - mnw.origin_y) / mnw.scale;
}

void xcam_class::LookAtCamera(const xcam_class* other, const double* dir, double dist,
                              double& near_out, double& far_out) {
  double inv_proj[16], inv_mv[16];
  invertMatrix(inv_proj, other->proj);
  invertMatrix(inv_mv, other->modelview);
  double eye[4];
  const double origin[4] = {0.0, 0.0, 0.0, 1.0};
  transform(eye, inv_mv, origin);
  buildLookAtMatrix(modelview, eye[0] - dist * dir[0], eye[1] - dist * dir[1],
                    eye[2] - dist * dir[2], eye[0], eye[1], eye[2], 0.0, 1.0, 0.0);
  changed = true;

  double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
  for (int i = 0; i < 8; ++i) {
    const double corner[4] = {i & 1 ? 1.0 : -1.0, i & 2 ? 1.0 : -1.0, i & 4 ? 1.0 : -1.0, 1.0};
    double eye_pt[4], world[4], mine[4];
    transform(eye_pt, inv_proj, corner);
    if (eye_pt[3] != 0.0)
      for (int k = 0; k < 4; ++k) eye_pt[k] /= eye_pt[3];
    transform(world, inv_mv, eye_pt);
    transform(mine, modelview, world);
    for (int k = 0; k < 3; ++k) {
      if (mine[k] < lo[k]) lo[k] = mine[k];
      if (mine[k] > hi[k]) hi[k] = mine[k];
    }
  }
  // Eye space looks down -z: the nearest point has the largest z.
  const double box[6] = {lo[0], hi[0], lo[1], hi[1], -hi[2], -lo[2]};
  store_ortho(box);
  near_out = -hi[2];
  far_out = -lo[2];
}

bool xcam_class::GetFrustumBounds(double d, double y_lo, double y_hi, double* lo, double* hi) {
  double far_used = d < -far_clip ? d : -far_clip;
  double inv_mv[16];
  invertMatrix(inv_mv, modelview);
  double corners[8][4];
  static const int kCube[8][3] = {{-1, 1, -1},  {-1, 1, 1},  {1, 1, -1},  {1, 1, 1},
                                  {-1, -1, -1}, {-1, -1, 1}, {1, -1, -1}, {1, -1, 1}};
  if (!ortho) {
    double inv_proj[16];
    invertMatrix(inv_proj, proj);
    for (int i = 0; i < 8; ++i) {
      const double c[4] = {double(kCube[i][0]), double(kCube[i][1]), double(kCube[i][2]), 1.0};
      double e[4];
      transform(e, inv_proj, c);
      if (e[3] != 0.0)
        for (int k = 0; k < 4; ++k) e[k] /= e[3];
      if (-e[2] > far_used) {
        float s = float(far_used / -e[2]);
        for (int k = 0; k < 3; ++k) e[k] *= s;
      }
      e[3] = 1.0;
      transform(corners[i], inv_mv, e);
    }
  } else {
    double top = bounds[0], left = bounds[1], right = bounds[2], bottom = bounds[3];
    for (int i = 0; i < 8; ++i) {
      const double e[4] = {kCube[i][0] < 0 ? left : right, kCube[i][1] < 0 ? bottom : top,
                           kCube[i][2] < 0 ? near_clip : -far_used, 1.0};
      transform(corners[i], inv_mv, e);
    }
  }
  for (int k = 0; k < 3; ++k) lo[k] = 9.9e9, hi[k] = -9.9e9;
  // The twelve edges of the corner box: corners differing in one cube sign.
  static const int kEdges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                    {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
  for (const auto& e : kEdges) accum_segment(y_lo, y_hi, corners[e[0]], corners[e[1]], lo, hi);
  return hi[0] >= lo[0];
}
