// Window pixels, the design offset, the 2-D projection over the drawable
// and scissor boxes in window units.
#include "draw/viewport.h"

#include <GL/gl.h>

#include "core/globals.h"
#include "draw/camera.h"

namespace {

// The width the windows were laid out for; a wider drawable centres them.
constexpr int kDesignWidth = 1024;

}  // namespace

void OGL_pix_specs(int /*unused*/) {
  mnw.scale = 1.0f;
  mnw.area_left = 0.0f;
  mnw.area_bottom = 0.0f;
  mnw.area_right = float(mnw.pixel_dx);
  mnw.area_top = float(mnw.pixel_dy);
  float off = (mnw.pixel_dx - kDesignWidth) * 0.5f;
  mnw.design_off_x = off > 0.0f ? off : 0.0f;
  if (mnw.cur_window == -1) mnw.design_off_x = 0.0f;
  if (mnw.cur_window >= 0) OGL_viewport(ogl_view_whole, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
}

void OGL_viewport(int mode, float left, float vx0, float bottom, float vy0, float right, float vx1,
                  float near, float top, float vy1, float far, float zoom, int aspect) {
  if (mode == ogl_view_whole) {
    left = mnw.area_left;
    bottom = mnw.area_bottom;
    right = mnw.area_right;
    top = mnw.area_top;
    vx0 = vy0 = 0.0f;
    vx1 = float(mnw.pixel_dx);
    vy1 = float(mnw.pixel_dy);
  } else if (mode == ogl_view_scaled) {
    left *= near;
    right *= near;
    bottom *= near;
    top *= near;
    vx0 *= mnw.scale;
    vy0 *= mnw.scale;
    vx1 *= mnw.scale;
    vy1 *= mnw.scale;
  }
  float width = vx1 - vx0;
  float height = vy1 - vy0;
  if (aspect) {
    bottom *= height / width;
    top *= height / width;
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (mode == ogl_view_whole)
    xcam.SetupOrtho(left / zoom, right / zoom, bottom / zoom, top / zoom, -1.0, 1.0);
  else if (mode == ogl_view_scaled)
    xcam.SetupFrustum(left / zoom, right / zoom, bottom / zoom, top / zoom, near, far);
  glViewport(GLint(vx0), GLint(vy0), GLsizei(width), GLsizei(height));
  xcam.Identity();
  glLoadMatrixd(xcam.proj);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(xcam.modelview);
  // OpenGL now holds the camera's own matrices: nothing to read back.
  xcam.modelview_from_gl = false;
}

void OGL_screensize(int mode, float x0, float y0, float x1, float y1) {
  if (mode == ogl_view_whole) {
    glViewport(0, 0, mnw.pixel_dx, mnw.pixel_dy);
    return;
  }
  if (mode == ogl_view_scaled) {
    x0 *= mnw.scale;
    y0 *= mnw.scale;
    x1 *= mnw.scale;
    y1 *= mnw.scale;
  }
  glViewport(GLint(x0), GLint(y0), GLsizei(x1 - x0), GLsizei(y1 - y0));
}

void OGL_scissors(float x, float y, float width, float height) {
  float xs = x + mnw.origin_x;
  float ys = y + mnw.origin_y;
  float px = xs * mnw.scale;
  float py = ys * mnw.scale;
  float pw = (xs + width) * mnw.scale - px;
  float ph = (ys + height) * mnw.scale - py;
  if (!(pw > 0.0f)) pw = 0.0f;
  if (!(ph > 0.0f)) ph = 0.0f;
  glEnable(GL_SCISSOR_TEST);
  glScissor(GLint(px), GLint(py), GLsizei(pw), GLsizei(ph));
}

void OGL_scissors_end() { glDisable(GL_SCISSOR_TEST); }

void OGL_setspec(float level) {
  const GLfloat v[4] = {level, level, level, 1.0f};
  glLightfv(GL_LIGHT0, GL_SPECULAR, v);
  glMaterialfv(GL_FRONT, GL_SPECULAR, v);
  glMateriali(GL_FRONT, GL_SHININESS, 128);
}

void OGL_poly_offset(int n) {
  if (n != 0) {
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(float(n * -10.0), -1.0f);
  } else {
    glDisable(GL_POLYGON_OFFSET_FILL);
  }
}
