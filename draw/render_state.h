// The render-state cache: every drawing routine states the whole
// fixed-function state it needs, and only what differs from the last call
// reaches OpenGL. Main thread only.
#pragma once

// Codes, in argument order: fog (nonzero off); texture units with 2-D
// texturing on; lighting (2 on, 3 off); alpha (4 none, 5 blend, 6 test,
// 7 both); depth test (8 on, 9 off); depth writes (10 on, 11 off).
enum ogl_state_code {
  ogl_fog_on = 0,
  ogl_fog_off = 1,
  ogl_lighting_on = 2,
  ogl_lighting_off = 3,
  ogl_alpha_none = 4,
  ogl_alpha_blend = 5,
  ogl_alpha_test = 6,
  ogl_alpha_blend_test = 7,
  ogl_depth_test_on = 8,
  ogl_depth_test_off = 9,
  ogl_depth_write_on = 10,
  ogl_depth_write_off = 11,
};
// The cache is seeded from OpenGL on the first call, so anything that sets
// these capabilities directly must do so before that call.
void OGL_setstate(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write);
// Forgets what OpenGL was told, the buffer bindings too: for a new context,
// which starts from its own defaults. The next call seeds again.
void OGL_reset_state();

// Buffer bindings on the array and element-array targets, bound only when the
// id differs from the last one bound there.
void OGL_bind_vbo(unsigned long const& id);
void OGL_bind_vbo_ind(unsigned long const& id);

// The number of texture units the cache last enabled; the texture loader
// borrows it around its own bind.
extern int& num_units;

// How many binds reached OpenGL: the statistics "num_xdl_bind" and
// "num_xdl_bind_ind".
float OGL_bind_count();
float OGL_bind_count_ind();
