// Window pixels, the 2-D projection and scissor boxes. Drawing works in
// logical units of the current window, origin lower left, y up; the
// primitives add the window's origin (mnw.origin_x, mnw.origin_y).
#pragma once

// Records the pixel scale and the logical area of the drawable and, when a
// window is current, sets the 2-D viewport. The argument is not used.
void OGL_pix_specs(int unused);

// mode 2: orthographic over the logical area, coordinates ignored;
// mode 3: perspective frustum (left..top scaled by near, corners by scale);
// other modes: the arguments as given, the camera's projection kept.
// OGL_screensize: mode 2 the whole drawable, 3 the corners scaled.
enum ogl_view_mode {
  ogl_view_whole = 2,
  ogl_view_scaled = 3,
};
void OGL_viewport(int mode, float left, float vx0, float bottom, float vy0, float right, float vx1,
                  float near, float top, float vy1, float far, float zoom, int aspect);
// Sets only the OpenGL viewport.
void OGL_screensize(int mode, float x0, float y0, float x1, float y1);

// Clips drawing to a rectangle in units of the current window until
// OGL_scissors_end.
void OGL_scissors(float x, float y, float width, float height);
void OGL_scissors_end();

void OGL_setspec(float level);
// 0 turns the polygon offset of filled polygons off.
void OGL_poly_offset(int n);
