// The framework's camera: projection and modelview matrices in the layout
// OpenGL loads directly, the clipping distances and the side planes (or, for
// an orthographic camera, the bounds) of the view volume for culling.
//
// The installer only ever sets up an orthographic camera through the viewport;
// the rest serves the simulator that shares this code.
#pragma once

#include "core/stats.h"

class xcam_class {
 public:
  xcam_class();
  explicit xcam_class(const xcam_class* other);
  xcam_class(const xcam_class& other) = default;
  xcam_class& operator=(const xcam_class& other) = default;
  // Back to a new camera's state.
  void reset() { *this = xcam_class(); }

  void SetupOrtho(double left, double right, double bottom, double top, double near, double far);
  void SetupFrustum(double left, double right, double bottom, double top, double near, double far);
  void SetupPerspective(double fovy, double aspect, double near, double far);

  void LookAtPtFromPt(double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                      double uy, double uz);
  // Looks at (x, y, z) from dist away, a the heading and b the pitch in degrees.
  void LookAtPtFromDir(double x, double y, double z, double a, double b, double dist);
  void Identity();
  void Translate(double x, double y, double z);
  void Rotate(double angle, double x, double y, double z);

  void SetFakeFarClippingPlane(double d);
  void ResetFakeFarClippingPlane();

  // 0 for an orthographic camera (nothing written).
  int GetFOVHalfCosines(float* h, float* v);
  void CalcUp(double* out);
  void CalcDirection(double* out);
  void CalcRight(double* out);
  void CalcBillboardGround(float* a, float* b);
  void CalcBillboardCamera(float* a, float* b);

  // Projects a world point into logical units of the current window.
  void mtr_to_pix(const double* p, double* out);
  // Fits this camera, orthographic, around another camera's view volume.
  void LookAtCamera(const xcam_class* other, const double* dir, double dist, double& near_out,
                    double& far_out);
  // World-space box of the view volume within the slab y_lo..y_hi; false when
  // the volume does not reach the slab.
  bool GetFrustumBounds(double d, double y_lo, double y_hi, double* lo, double* hi);

  bool ortho = true;
  double near_clip = 0.0;      // negated: the eye-space z of the near plane
  double far_clip = 0.0;       // negated
  double fake_far_clip = 0.0;  // negated; may be pulled in nearer than far_clip
  double planes[4][3] = {};    // unit normals: top, left, right, bottom
  double bounds[4] = {};       // orthographic: top, left, right, bottom
  bool changed = true;
  bool modelview_from_gl = true;  // OpenGL's modelview is newer than ours
  double proj[16];
  double modelview[16];

 private:
  void read_gl_modelview_if_stale();
  void store_ortho(const double* box);  // left, right, bottom, top, near, far
};

extern xcam_class xcam;

// Debug aids "perf/kill_cull" and "perf/kill_clip": any value but 0 (NaN
// included) shrinks the culling window or the projection window to its
// central tenth.
extern UTL_stat gKillCull;
extern UTL_stat gKillClip;
