// The render-state cache: compares the requested fixed-function state with
// the last one and sends only what changed.
#include "draw/render_state.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/globals.h"
#include "core/stats.h"
#include "OGL/extensions.h"

namespace {

constexpr int kMaxUnits = 8;  // units beyond the eighth are never touched

// What OpenGL was last told, per context: seeded from OpenGL on the first
// call after start-up or a reset; the depth-write cache is never seeded: the
// context set-up turns depth writes off before the first call.
struct render_state_cache {
  bool seeded = false;
  int o_fog = 0, o_tex = 0, o_lit = 0, o_alB = 0, o_alT = 0, o_deR = 0;
  int o_deW = ogl_depth_write_off;
  unsigned long last_vbo = 0;
  unsigned long last_vbo_ind = 0;
  int num_units = 1;

  void reset() { *this = render_state_cache(); }
  void seed() {
    seeded = true;
    o_fog = glIsEnabled(GL_FOG) ? ogl_fog_on : ogl_fog_off;
    o_tex = glIsEnabled(GL_TEXTURE_2D) ? num_units : 0;
    o_lit = glIsEnabled(GL_LIGHTING) ? ogl_lighting_on : ogl_lighting_off;
    o_alB = glIsEnabled(GL_BLEND) ? 1 : 0;
    o_alT = glIsEnabled(GL_ALPHA_TEST) ? 1 : 0;
    o_deR = glIsEnabled(GL_DEPTH_TEST) ? ogl_depth_test_on : ogl_depth_test_off;
  }
};
render_state_cache g_rs;

}  // namespace

int& num_units = g_rs.num_units;

namespace {

void set_cap(GLenum cap, bool on) {
  if (on)
    glEnable(cap);
  else
    glDisable(cap);
}

// Turns 2-D texturing on for units 0..n-1 and off above, from o units on:
// the request clamped to the hardware's units, which becomes num_units.
int set_texture_units(int n, int o) {
  set_cap(GL_TEXTURE_2D, n > 0);
  if (n < 0)
    n = 0;
  else if (n > ren.tex_units)
    n = ren.tex_units;
  num_units = n;
  if (n > 1 || o > 1) {
    for (int u = 0; u < kMaxUnits; ++u) {
      if (o > u) continue;
      if (n <= u) break;
      glActiveTextureARB(GL_TEXTURE0_ARB + u);
      glEnable(GL_TEXTURE_2D);
    }
    for (int u = 0; u < kMaxUnits; ++u) {
      if (o > u && n <= u) {
        glActiveTextureARB(GL_TEXTURE0_ARB + u);
        glDisable(GL_TEXTURE_2D);
      }
    }
    glActiveTextureARB(GL_TEXTURE0_ARB);
  }
  return n;
}

}  // namespace

void OGL_setstate(int fog, int tex_units, int lighting, int alpha, int depth_test,
                  int depth_write) {
  render_state_cache& c = g_rs;
  if (!c.seeded) c.seed();
  int& o_fog = c.o_fog;
  int& o_tex = c.o_tex;
  int& o_lit = c.o_lit;
  int& o_alB = c.o_alB;
  int& o_alT = c.o_alT;
  int& o_deR = c.o_deR;
  int& o_deW = c.o_deW;

  if (fog != o_fog) set_cap(GL_FOG, fog == ogl_fog_on);

  const int n = tex_units != o_tex ? set_texture_units(tex_units, o_tex) : tex_units;

  if (lighting != o_lit) {
    set_cap(GL_LIGHTING, lighting == ogl_lighting_on);
    set_cap(GL_LIGHT0, lighting == ogl_lighting_on);
  }

  // Each capability is compared with its own cache, not the requested code.
  // A code outside 4..7 leaves both OpenGL and the cache alone: recording it
  // as "both off" would make the next request for blending or testing skip
  // the call while OpenGL still has them on.
  if (alpha >= ogl_alpha_none && alpha <= ogl_alpha_blend_test) {
    const bool want_blend = alpha == ogl_alpha_blend || alpha == ogl_alpha_blend_test;
    const bool want_test = alpha == ogl_alpha_test || alpha == ogl_alpha_blend_test;
    if (want_blend != (o_alB != 0)) set_cap(GL_BLEND, want_blend);
    if (want_test != (o_alT != 0)) set_cap(GL_ALPHA_TEST, want_test);
    o_alB = want_blend ? 1 : 0;
    o_alT = want_test ? 1 : 0;
  }

  if (depth_test != o_deR) set_cap(GL_DEPTH_TEST, depth_test == ogl_depth_test_on);
  if (depth_write != o_deW) glDepthMask(depth_write == ogl_depth_write_on ? GL_TRUE : GL_FALSE);

  o_fog = fog;
  o_tex = n;
  o_lit = lighting;
  o_deR = depth_test;
  o_deW = depth_write;
}

namespace {

// Registered with the other statistics before the entry point runs.
UTL_stat num_xdl_group_bind("num_xdl_bind", stat_render, 0.0f);
UTL_stat num_xdl_group_bind_ind("num_xdl_bind_ind", stat_render, 0.0f);

}  // namespace

void OGL_reset_state() { g_rs.reset(); }

void OGL_bind_vbo(unsigned long const& id) {
  unsigned long& last_vbo = g_rs.last_vbo;
  if (id == last_vbo) return;
  num_xdl_group_bind.own_value += 1.0f;
  glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, GLuint(id));
  last_vbo = id;
}

void OGL_bind_vbo_ind(unsigned long const& id) {
  unsigned long& last_vbo = g_rs.last_vbo_ind;
  if (id == last_vbo) return;
  num_xdl_group_bind_ind.own_value += 1.0f;
  glExt.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GLuint(id));
  last_vbo = id;
}

float OGL_bind_count() { return num_xdl_group_bind.own_value; }
float OGL_bind_count_ind() { return num_xdl_group_bind_ind.own_value; }
