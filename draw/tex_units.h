// The texture-unit binding cache: every texture bind of the program goes
// through TEX_bind_ref, which remembers per unit the texture and environment
// preset it last set, so that a repeated bind costs no OpenGL call at all.
// Main thread only.
#pragma once

class UTL_stat;

// The environment modes of TEX_bind_ref that are not OpenGL enums: the
// combine presets (applied with combine support) and two plain ones.
enum tex_env_mode {
  tex_env_modulate = 0,             // GL_MODULATE
  tex_env_add_colour = 1,           // adds the texture's colour, keeps the incoming alpha
  tex_env_add = 2,                  // adds colour and alpha
  tex_env_modulate_tex_alpha = 10,  // multiplies colour, takes the texture's alpha
  tex_env_alpha_difference = 11,    // keeps colour; alpha 4 x (texture - incoming)
  tex_env_alpha_cut = 12,           // keeps colour; alpha (1 - incoming) x texture
  tex_env_darken_opaque = 13,       // the incoming colour times one minus its alpha, opaque
  tex_env_pass = 14,                // passes everything through
  tex_env_opaque = 15,              // the incoming colour, opaque
  tex_env_modulate_opaque = 16,     // multiplies colour, opaque
  tex_env_alpha_as_grey = 17,       // the texture's alpha as an opaque grey picture
  tex_env_blend_by_tex_alpha = 18,  // the texture over the incoming colour by its alpha
  tex_env_blend_by_alpha = 19,      // the same by the incoming alpha
  tex_env_scale_by_tex_alpha = 20,  // the incoming colour times the texture's alpha
  tex_env_cross_fade = 21,          // incoming to texture by the blend level
  tex_env_modulate_primary = 22,    // multiplies by the primary colour
  tex_env_tint = 23,                // the primary colour towards black where the texture is dark
  tex_env_keep = 24,                // leaves the environment as it is
};

// Binds texture tex to GL_TEXTURE_2D on unit (0..7) and sets the unit's
// texture environment: a tex_env_mode (a combine preset only with combine
// support), or any other value, a texture-environment enum set as is.
// Unit 0 is active on return.
void TEX_bind_ref(int tex, int unit, int mode);
// Forgets the cache: the next bind on every unit reaches OpenGL.
void TEX_reset_bind();
// Deletes an OpenGL texture and forgets it on every unit that last bound
// it: a cache still naming it would skip the next bind of that name, and a
// new texture of that name would be uploaded into texture 0.
void TEX_delete_texture(int tex);
// The constant colour (level, level, level, level) that preset 21 blends by;
// units at or above the hardware's count are ignored.
void TEX_set_blend_level(int unit, float level);

// "perf/kill_tex": while nonzero every texture but the widget atlas is drawn
// as the blank texture.
UTL_stat& TEX_kill_tex_stat();
