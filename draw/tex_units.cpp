// The texture-unit binding cache: per unit, the texture and environment
// preset last set, so a repeated bind costs nothing.
#include "draw/tex_units.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/globals.h"
#include "core/stats.h"
#include "draw/tman.h"
#include "OGL/extensions.h"

namespace {

constexpr int kUnits = 8;
int o_tex[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};
int o_mod[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};

// Registered with the other statistics at program start.
UTL_stat gKillTex("perf/kill_tex", stat_perf, 0.0f);

void env(GLenum name, GLint value) { glTexEnvi(GL_TEXTURE_ENV, name, value); }

void env_colour(float r, float g, float b, float a) {
  const GLfloat c[4] = {r, g, b, a};
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, c);
}

struct combine_arg {
  GLenum source, operand;
};

// One side (RGB or alpha) of a combine preset: function and up to three
// arguments; an argument with source 0 is not set.
void combine(bool alpha, GLenum function, combine_arg a0, combine_arg a1 = {0, 0},
             combine_arg a2 = {0, 0}) {
  env(alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB, function);
  const GLenum src[3] = {GLenum(alpha ? GL_SOURCE0_ALPHA : GL_SOURCE0_RGB),
                         GLenum(alpha ? GL_SOURCE1_ALPHA : GL_SOURCE1_RGB),
                         GLenum(alpha ? GL_SOURCE2_ALPHA : GL_SOURCE2_RGB)};
  const GLenum op[3] = {GLenum(alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB),
                        GLenum(alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB),
                        GLenum(alpha ? GL_OPERAND2_ALPHA : GL_OPERAND2_RGB)};
  const combine_arg args[3] = {a0, a1, a2};
  for (int i = 0; i < 3; ++i) {
    if (!args[i].source) continue;
    env(src[i], args[i].source);
    env(op[i], args[i].operand);
  }
}

constexpr combine_arg prev_c{GL_PREVIOUS, GL_SRC_COLOR}, prev_a{GL_PREVIOUS, GL_SRC_ALPHA},
    prev_1ma{GL_PREVIOUS, GL_ONE_MINUS_SRC_ALPHA}, tex_c{GL_TEXTURE, GL_SRC_COLOR},
    tex_a{GL_TEXTURE, GL_SRC_ALPHA}, const_c{GL_CONSTANT, GL_SRC_COLOR},
    const_a{GL_CONSTANT, GL_SRC_ALPHA}, prim_c{GL_PRIMARY_COLOR, GL_SRC_COLOR};

// Applies a combine preset; false for a mode that is not one.
bool apply_preset(int mode) {
  const bool rgb = false, alpha = true;
  float alpha_scale = 1.0f;
  bool white = false;  // GL_TEXTURE_ENV_COLOR (1, 1, 1, 1)
  switch (mode) {
    case 1:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_ADD, prev_c, tex_c);
      combine(alpha, GL_REPLACE, prev_a);
      break;
    case 2:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_ADD, prev_c, tex_c);
      combine(alpha, GL_ADD, prev_a, tex_a);
      break;
    case 10:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_MODULATE, prev_c, tex_c);
      combine(alpha, GL_REPLACE, tex_a);
      break;
    case 11:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_REPLACE, prev_c);
      combine(alpha, GL_SUBTRACT, tex_a, prev_a);
      alpha_scale = 4.0f;
      break;
    case 12:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_REPLACE, prev_c);
      combine(alpha, GL_MODULATE, prev_1ma, tex_a);
      break;
    case 13:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_MODULATE, prev_c, prev_1ma);
      combine(alpha, GL_REPLACE, const_a);
      white = true;
      break;
    case 14:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_REPLACE, prev_c);
      combine(alpha, GL_REPLACE, prev_a);
      break;
    case 15:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_REPLACE, prev_c);
      combine(alpha, GL_REPLACE, const_a);
      white = true;
      break;
    case 16:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_MODULATE, prev_c, tex_c);
      combine(alpha, GL_REPLACE, const_a);
      white = true;
      break;
    case 17:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_REPLACE, tex_a);
      combine(alpha, GL_REPLACE, const_a);
      white = true;
      break;
    case 18:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_INTERPOLATE, tex_c, prev_c, tex_a);
      combine(alpha, GL_REPLACE, prev_a);
      break;
    case 19:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_INTERPOLATE, tex_c, prev_c, prev_a);
      combine(alpha, GL_REPLACE, prev_a);
      break;
    case 20:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_MODULATE, prev_c, tex_a);
      combine(alpha, GL_REPLACE, prev_a);
      break;
    case 21:
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_INTERPOLATE, tex_c, prev_c, const_c);
      combine(alpha, GL_INTERPOLATE, tex_a, prev_a, const_a);
      break;
    case 22:
      // The one preset that leaves the alpha scale as it was.
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      combine(rgb, GL_MODULATE, prev_c, prim_c);
      combine(alpha, GL_REPLACE, prev_a);
      return true;
    case 23: {
      // Kept in the float form of the call, as it always was; the values
      // are the same enums.
      auto envf = [](GLenum name, GLenum value) {
        glTexEnvf(GL_TEXTURE_ENV, name, static_cast<GLfloat>(value));
      };
      envf(GL_TEXTURE_ENV_MODE, GL_COMBINE);
      envf(GL_COMBINE_RGB, GL_INTERPOLATE);
      envf(GL_SOURCE0_RGB, GL_PRIMARY_COLOR);
      envf(GL_OPERAND0_RGB, GL_SRC_COLOR);
      envf(GL_SOURCE1_RGB, GL_CONSTANT);
      envf(GL_OPERAND1_RGB, GL_SRC_COLOR);
      envf(GL_SOURCE2_RGB, GL_TEXTURE);
      envf(GL_OPERAND2_RGB, GL_SRC_COLOR);
      envf(GL_COMBINE_ALPHA, GL_REPLACE);
      envf(GL_SOURCE0_ALPHA, GL_TEXTURE);
      envf(GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
      env_colour(0, 0, 0, 0);
      break;
    }
    default:
      return false;
  }
  if (white) env_colour(1, 1, 1, 1);
  glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, alpha_scale);
  return true;
}

}  // namespace

UTL_stat& TEX_kill_tex_stat() { return gKillTex; }

void TEX_bind_ref(int tex, int unit, int mode) {
  if (unit < 0 || unit >= kUnits) return;
  if (mode == 0) mode = GL_MODULATE;
  if (gKillTex.own_value != 0.0f && tex != tex_slot_widgets) tex = tex_slot_blank;
  if (tex == o_tex[unit] && mode == o_mod[unit]) return;

  if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  if (tex != o_tex[unit]) {
    glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    o_tex[unit] = tex;
  }
  if (mode != 24 && mode != o_mod[unit]) {
    o_mod[unit] = mode;
    if (!glExt.combine_avail || !apply_preset(mode)) env(GL_TEXTURE_ENV_MODE, mode);
  }
  if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB);
}

void TEX_reset_bind() {
  for (int u = 0; u < kUnits; ++u) o_tex[u] = o_mod[u] = -1;
}

void TEX_delete_texture(int tex) {
  const GLuint name = GLuint(tex);
  glDeleteTextures(1, &name);
  for (int u = 0; u < kUnits; ++u)
    if (o_tex[u] == tex) o_tex[u] = -1;
}

void TEX_set_blend_level(int unit, float level) {
  if (unit < 0 || unit >= ren.tex_units || unit >= kUnits) return;
  if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  env_colour(level, level, level, level);
  if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB);
}
