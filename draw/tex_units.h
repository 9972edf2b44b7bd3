// The texture-unit binding cache: every texture bind of the program goes
// through TEX_bind_ref, which remembers per unit the texture and environment
// preset it last set, so that a repeated bind costs no OpenGL call at all.
// Main thread only.
#pragma once

class UTL_stat;

// Binds texture tex to GL_TEXTURE_2D on unit (0..7) and sets the unit's
// texture environment: mode 0 is GL_MODULATE; 1, 2, 10..23 are combine
// presets (with combine support); 24 keeps the environment; any other value
// is a texture-environment enum set as is. Unit 0 is active on return.
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
