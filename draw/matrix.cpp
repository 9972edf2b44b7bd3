// 4x4 matrix builders and products that match the fixed-function calls of
// the same purpose.
#include "draw/matrix.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

const double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
const double kDegToRad = M_PI / 180.0;

inline double& at(double* m, int row, int col) { return m[col * 4 + row]; }

void cross(double* out, const double* a, const double* b) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

void normalise_if_long(double* v) {
  double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (len != 0.0) {
    v[0] /= len;
    v[1] /= len;
    v[2] /= len;
  }
}

// The box grows in single precision: the bounds feed float culling code.
void add_point(const double* pt, double* lo, double* hi) {
  for (int i = 0; i < 3; ++i) {
    float v = static_cast<float>(pt[i]);
    if (v < static_cast<float>(lo[i])) lo[i] = v;
    if (v > static_cast<float>(hi[i])) hi[i] = v;
  }
}

void add_crossing(double y, const double* p, const double* q, double* lo, double* hi) {
  double t = (y - p[1]) / (q[1] - p[1]);
  double pt[3];
  pt[1] = y;
  for (int i : {0, 2}) {
    double v = p[i] + t * (q[i] - p[i]);
    double a = p[i] < q[i] ? p[i] : q[i];
    double b = p[i] < q[i] ? q[i] : p[i];
    pt[i] = v < a ? a : (v > b ? b : v);
  }
  add_point(pt, lo, hi);
}

}  // namespace

void setIdentityMatrix(double* m) { std::memcpy(m, kIdentity, sizeof kIdentity); }

void copyMatrix(double* dst, const double* src) { std::memcpy(dst, src, 16 * sizeof(double)); }

void transposeMatrix(double* dst, const double* src) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) dst[c * 4 + r] = src[r * 4 + c];
}

void addMatrices(double* out, const double* a, const double* b) {
  for (int i = 0; i < 16; ++i) out[i] = a[i] + b[i];
}

void multMatrices(double* out, const double* a, const double* b) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += a[k * 4 + r] * b[c * 4 + k];
      out[c * 4 + r] = s;
    }
}

int invertMatrix(double* out, const double* m) {
  double rows_store[4][8];
  double* rows[4];
  for (int r = 0; r < 4; ++r) {
    rows[r] = rows_store[r];
    for (int c = 0; c < 4; ++c) {
      rows[r][c] = m[c * 4 + r];
      rows[r][c + 4] = r == c ? 1.0 : 0.0;
    }
  }
  for (int col = 0; col < 4; ++col) {
    int best = col;
    for (int r = col + 1; r < 4; ++r)
      if (std::fabs(rows[r][col]) > std::fabs(rows[best][col])) best = r;
    double* tmp = rows[col];
    rows[col] = rows[best];
    rows[best] = tmp;
    double pivot = rows[col][col];
    if (pivot == 0.0) return 0;
    for (int c = 0; c < 8; ++c) rows[col][c] /= pivot;
    for (int r = 0; r < 4; ++r) {
      if (r == col) continue;
      double k = rows[r][col];
      if (k == 0.0) continue;
      for (int c = 0; c < 8; ++c) rows[r][c] -= k * rows[col][c];
    }
  }
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[c * 4 + r] = rows[r][c + 4];
  return 1;
}

void buildOrthoMatrix(double* m, double l, double r, double b, double t, double n, double f) {
  setIdentityMatrix(m);
  at(m, 0, 0) = 2.0 / (r - l);
  at(m, 1, 1) = 2.0 / (t - b);
  at(m, 2, 2) = -2.0 / (f - n);
  at(m, 0, 3) = -(r + l) / (r - l);
  at(m, 1, 3) = -(t + b) / (t - b);
  at(m, 2, 3) = -(f + n) / (f - n);
}

void buildFrustumMatrix(double* m, double l, double r, double b, double t, double n, double f) {
  std::memset(m, 0, 16 * sizeof(double));
  at(m, 0, 0) = 2.0 * n / (r - l);
  at(m, 1, 1) = 2.0 * n / (t - b);
  at(m, 0, 2) = (r + l) / (r - l);
  at(m, 1, 2) = (t + b) / (t - b);
  at(m, 2, 2) = -(f + n) / (f - n);
  at(m, 3, 2) = -1.0;
  at(m, 2, 3) = -2.0 * f * n / (f - n);
}

void buildPerspectiveMatrix(double* m, double fovy, double aspect, double n, double f) {
  double h = std::tan(M_PI * fovy / 360.0) * n;
  buildFrustumMatrix(m, -h * aspect, h * aspect, -h, h, n, f);
}

void buildLookAtMatrix(double* m, double ex, double ey, double ez, double cx, double cy, double cz,
                       double ux, double uy, double uz) {
  double z[3] = {ex - cx, ey - cy, ez - cz};
  normalise_if_long(z);
  double up[3] = {ux, uy, uz};
  double x[3], y[3];
  cross(x, up, z);
  cross(y, z, x);
  normalise_if_long(x);
  normalise_if_long(y);
  const double e[3] = {ex, ey, ez};
  setIdentityMatrix(m);
  for (int c = 0; c < 3; ++c) {
    at(m, 0, c) = x[c];
    at(m, 1, c) = y[c];
    at(m, 2, c) = z[c];
  }
  at(m, 0, 3) = -(x[0] * e[0] + x[1] * e[1] + x[2] * e[2]);
  at(m, 1, 3) = -(y[0] * e[0] + y[1] * e[1] + y[2] * e[2]);
  at(m, 2, 3) = -(z[0] * e[0] + z[1] * e[1] + z[2] * e[2]);
}

void buildRotation(double* m, double angle, double x, double y, double z) {
  double s = std::sin(angle * kDegToRad);
  double c = std::cos(angle * kDegToRad);
  setIdentityMatrix(m);
  int nonzero = (x != 0.0) + (y != 0.0) + (z != 0.0);
  if (nonzero == 1) {
    // A coordinate axis needs no normalising, so even a tiny one rotates.
    int a, b;  // the plane the rotation turns in
    double sign;
    if (x != 0.0) {
      a = 1, b = 2, sign = x > 0 ? 1.0 : -1.0;
    } else if (y != 0.0) {
      a = 2, b = 0, sign = y > 0 ? 1.0 : -1.0;
    } else {
      a = 0, b = 1, sign = z > 0 ? 1.0 : -1.0;
    }
    at(m, a, a) = c;
    at(m, b, b) = c;
    at(m, a, b) = -sign * s;
    at(m, b, a) = sign * s;
    return;
  }
  double len = std::sqrt(x * x + y * y + z * z);
  if (len <= 1.0e-4) return;
  x /= len;
  y /= len;
  z /= len;
  double k = 1.0 - c;
  at(m, 0, 0) = x * x * k + c;
  at(m, 1, 1) = y * y * k + c;
  at(m, 2, 2) = z * z * k + c;
  at(m, 0, 1) = x * y * k - z * s;
  at(m, 1, 0) = x * y * k + z * s;
  at(m, 0, 2) = x * z * k + y * s;
  at(m, 2, 0) = x * z * k - y * s;
  at(m, 1, 2) = y * z * k - x * s;
  at(m, 2, 1) = y * z * k + x * s;
}

void applyTranslation(double* m, double x, double y, double z) {
  for (int r = 0; r < 4; ++r) m[12 + r] += x * m[r] + y * m[4 + r] + z * m[8 + r];
}

void applyRotation(double* m, double angle, double x, double y, double z) {
  double rot[16], tmp[16];
  buildRotation(rot, angle, x, y, z);
  multMatrices(tmp, m, rot);
  copyMatrix(m, tmp);
}

void vec3_assign(double* v, double x, double y, double z) {
  v[0] = x;
  v[1] = y;
  v[2] = z;
}

void printMatrix(const char* label, const double* m) {
  printf("%s\n", label);
  for (int r = 0; r < 4; ++r) printf(" [ %f %f %f %f ]\n", m[r], m[4 + r], m[8 + r], m[12 + r]);
  printf("\n");
}

void accum_segment(double y_lo, double y_hi, const double* p, const double* q, double* lo,
                   double* hi) {
  if (p[1] > q[1]) {
    const double* t = p;
    p = q;
    q = t;
  }
  if (p[1] == q[1]) {
    if (p[1] >= y_lo && p[1] <= y_hi) {
      add_point(p, lo, hi);
      add_point(q, lo, hi);
    }
    return;
  }
  if (y_lo == y_hi) {
    if (p[1] <= y_lo && y_lo <= q[1]) add_crossing(y_lo, p, q, lo, hi);
    return;
  }
  if (p[1] >= y_lo && p[1] <= y_hi) add_point(p, lo, hi);
  if (q[1] >= y_lo && q[1] <= y_hi) add_point(q, lo, hi);
  if (p[1] < y_lo && y_lo < q[1]) add_crossing(y_lo, p, q, lo, hi);
  if (p[1] < y_hi && y_hi < q[1]) add_crossing(y_hi, p, q, lo, hi);
}
