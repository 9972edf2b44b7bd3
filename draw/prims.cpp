#include "draw/prims.h"

#include <GL/gl.h>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/render_state.h"
#include "platform/window.h"

static void set_colour(int colour, float alpha) {
  if (colour < 0 || colour >= colr_class::kCount) colour = 0;
  glColor4f(colr.rgb[colour][0], colr.rgb[colour][1], colr.rgb[colour][2], alpha * ren.global_alpha);
}

void OGL_plot_back_col() {
  glClearColor(colr.rgb[34][0], colr.rgb[34][1], colr.rgb[34][2], 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void OGL_sbuff() { MACIBM_swap_buffers(); }

void OGL_nrml_colors() { glColor4f(1, 1, 1, 1); }

void OGL_fillrect(int colour, float alpha, float x, float y, float width, float height) {
  OGL_setstate(1, 0, 3, 5, 9, 11);
  set_colour(colour, alpha);
  x += mnw.origin_x;
  y += mnw.origin_y;
  glBegin(GL_QUADS);
  glVertex2f(x, y);
  glVertex2f(x, y + height);
  glVertex2f(x + width, y + height);
  glVertex2f(x + width, y);
  glEnd();
}

// Until the texture manager binds slots, the quad is drawn flat.
void OGL_2dquad(int /*slot*/, int colour, float alpha, float x1, float y1, float /*s1*/,
                float /*t1*/, float x2, float y2, float /*s2*/, float /*t2*/, float x3, float y3,
                float /*s3*/, float /*t3*/, float x4, float y4, float /*s4*/, float /*t4*/,
                int /*units*/, int alpha_mode) {
  OGL_setstate(1, 0, 3, alpha_mode, 9, 11);
  set_colour(colour, alpha);
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  glBegin(GL_QUADS);
  glVertex2f(x1 + ox, y1 + oy);
  glVertex2f(x2 + ox, y2 + oy);
  glVertex2f(x3 + ox, y3 + oy);
  glVertex2f(x4 + ox, y4 + oy);
  glEnd();
}
