// 2-D primitives in window units: each states its render state and colour,
// then draws with the window's origin added.
#include "draw/prims.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/clock.h"
#include "core/constants.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/hooks.h"
#include "draw/render_state.h"
#include "draw/tman.h"

namespace {

void vertex(float x, float y) { glVertex2f(x, y); }
void vertex(double x, double y) { glVertex2d(x, y); }

// An untextured rectangle from (x, y), corners in the order of
// OGL_quad_corners; in doubles where the outline needs them.
template <typename T>
void rect_corners(GLenum mode, T x, T y, T width, T height) {
  glBegin(mode);
  vertex(x, y);
  vertex(x, y + height);
  vertex(x + width, y + height);
  vertex(x + width, y);
  glEnd();
}

}  // namespace

void OGL_quad_corners(float x, float y, float width, float height, float s, float t, float s_span,
                      float t_span) {
  glTexCoord2f(s, t);
  glVertex2f(x, y);
  glTexCoord2f(s, t + t_span);
  glVertex2f(x, y + height);
  glTexCoord2f(s + s_span, t + t_span);
  glVertex2f(x + width, y + height);
  glTexCoord2f(s + s_span, t);
  glVertex2f(x + width, y);
}

void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2) {
  OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  OGL_setcolor(colour, alpha);
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  glBegin(GL_LINES);
  glVertex2f(x1 + 0.5f + ox, y1 + 0.5f + oy);
  glVertex2f(x2 + 0.5f + ox, y2 + 0.5f + oy);
  glEnd();
}

void OGL_fillrect(int colour, float alpha, float x, float y, float width, float height) {
  OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  OGL_setcolor(colour, alpha);
  rect_corners(GL_QUADS, x + mnw.origin_x, y + mnw.origin_y, width, height);
}

void OGL_framerect(int colour, float alpha, float x, float y, float width, float height) {
  OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  OGL_setcolor(colour, alpha);
  const double X = double(x) + mnw.origin_x + 0.5, Y = double(y) + mnw.origin_y + 0.5;
  rect_corners<double>(GL_LINE_LOOP, X, Y, width, height);
}

void OGL_fillcircle(int colour, float x, float y, float radius) {
  for (float d = -radius; d <= radius; d += 1.0f) {
    // Rounding may leave radius² - d² a hair below zero at the rim.
    const float h = std::sqrt(std::max(0.0f, radius * radius - d * d));
    OGL_line(colour, 1.0f, x - h, y + d, x + h, y + d);
  }
}

void OGL_framecircle(int colour, float x, float y, float radius) {
  OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_none, ogl_depth_test_off,
               ogl_depth_write_off);
  OGL_setcolor(colour, 1.0f);
  const float X = x + mnw.origin_x + 0.5f, Y = y + mnw.origin_y + 0.5f;
  glBegin(GL_LINE_STRIP);
  for (int a = 0; a <= 360; a += 5)
    glVertex2f(X + radius * lookup_sin[a], Y + radius * lookup_cos[a]);
  glEnd();
}

void OGL_arc(int colour, float x, float y, float inner, float outer, float start, float end) {
  OGL_setcolor(colour, 1.0f);
  if (outer < inner) return;
  for (float r = inner; r <= outer; r += 1.0f) {
    float px = x + r * sinf(start * degtorad), py = y + r * cosf(start * degtorad);
    for (float a = start; a <= end; a += 1.0f) {
      const float nx = x + r * sinf(a * degtorad), ny = y + r * cosf(a * degtorad);
      OGL_line(colour, 1.0f, px, py, nx, ny);
      px = nx;
      py = ny;
    }
  }
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha) {
  OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  OGL_setcolor(colr_dark_text, alpha);
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  glBegin(GL_QUADS);
  glVertex2f(x1 + ox, y1 + oy);
  glVertex2f(x1 + ox, y2 + oy);
  glVertex2f(x2 + ox, y2 + oy);
  glVertex2f(x2 + ox, y1 + oy);
  glEnd();
}

void OGL_2dquad(int slot, int colour, float alpha, float x1, float y1, float s1, float t1, float x2,
                float y2, float s2, float t2, float x3, float y3, float s3, float t3, float x4,
                float y4, float s4, float t4, int units, int alpha_mode) {
  OGL_setstate(ogl_fog_off, units, ogl_lighting_off, alpha_mode, ogl_depth_test_off,
               ogl_depth_write_off);
  // One slot is drawn with an environment preset of its own.
  if (slot > 0)
    tman.bind_ref(slot, 0, slot == tex_slot_alpha_view ? tex_env_alpha_as_grey : tex_env_modulate);
  OGL_setcolor(colour, alpha);
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  glBegin(GL_QUADS);
  glTexCoord2f(s1, t1);
  glVertex2f(x1 + ox, y1 + oy);
  glTexCoord2f(s2, t2);
  glVertex2f(x2 + ox, y2 + oy);
  glTexCoord2f(s3, t3);
  glVertex2f(x3 + ox, y3 + oy);
  glTexCoord2f(s4, t4);
  glVertex2f(x4 + ox, y4 + oy);
  glEnd();
}

void OGL_2dquad_d(int slot, int colour, float alpha, float x, float y, float s, float t,
                  float width, float height, float s_span, float t_span, int alpha_mode) {
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, alpha_mode, ogl_depth_test_off,
               ogl_depth_write_off);
  if (slot > 0) tman.bind_ref(slot, 0, tex_env_modulate);
  OGL_setcolor(colour, alpha);
  glBegin(GL_QUADS);
  OGL_quad_corners(x + mnw.origin_x, y + mnw.origin_y, width, height, s, t, s_span, t_span);
  glEnd();
}

draw_hooks g_draw_hooks;

void OGL_plot_back_col() {
  OGL_fillrect(colr_back, 1.0f, -mnw.origin_x, -mnw.origin_y, float(mnw.pixel_dx),
               float(mnw.pixel_dy));
}

void OGL_sbuff() {
  // Whatever is drawn next without a colour of its own starts from white.
  if (ren.monochrome)
    glColor4f(0.0f, 1.0f, 0.0f, ren.global_alpha);
  else
    glColor4f(1.0f, 1.0f, 1.0f, ren.global_alpha);
  xtim_class::profile_chart("sb1", 0);
  g_draw_hooks.swap_buffers();
  xtim_class::profile_chart("sb2", 0);
}

void OGL_nrml_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

void OGL_glow_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE); }
