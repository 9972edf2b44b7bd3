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

// Per unit, the texture and the environment mode last set; -1 is unknown.
struct unit_cache {
  int o_tex[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};
  int o_mod[kUnits] = {-1, -1, -1, -1, -1, -1, -1, -1};

  void reset() { *this = unit_cache(); }
};
unit_cache g_units;
int (&o_tex)[kUnits] = g_units.o_tex;
int (&o_mod)[kUnits] = g_units.o_mod;

// Registered with the other statistics at program start.
UTL_stat gKillTex("perf/kill_tex", stat_perf, 0.0f);

void env(GLenum name, GLint value) { glTexEnvi(GL_TEXTURE_ENV, name, value); }

void env_colour(float r, float g, float b, float a) {
  const GLfloat c[4] = {r, g, b, a};
  glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, c);
}

// [SECTION] Combine presets

struct combine_arg {
  GLenum source, operand;
};

// One side (RGB or alpha) of a combine preset: function and up to three
// arguments; an argument with source 0 is not set.
struct combine_side {
  GLenum function;
  combine_arg args[3];
};

enum class preset_colour { none, white, black };  // GL_TEXTURE_ENV_COLOR, when set

struct env_preset {
  int mode;
  combine_side rgb, alpha;
  preset_colour colour;
  float alpha_scale;  // kKeepAlphaScale: left as it was
  bool float_calls;   // set through glTexEnvf, as that preset always was; the values are the same
};

constexpr float kKeepAlphaScale = 0.0f;

constexpr combine_arg none{0, 0}, prev_c{GL_PREVIOUS, GL_SRC_COLOR},
    prev_a{GL_PREVIOUS, GL_SRC_ALPHA}, prev_1ma{GL_PREVIOUS, GL_ONE_MINUS_SRC_ALPHA},
    tex_c{GL_TEXTURE, GL_SRC_COLOR}, tex_a{GL_TEXTURE, GL_SRC_ALPHA},
    const_c{GL_CONSTANT, GL_SRC_COLOR}, const_a{GL_CONSTANT, GL_SRC_ALPHA},
    prim_c{GL_PRIMARY_COLOR, GL_SRC_COLOR};

constexpr preset_colour no_colour = preset_colour::none, white = preset_colour::white,
                        black = preset_colour::black;

// clang-format off
const env_preset kPresets[] = {
  {tex_env_add_colour,         {GL_ADD, {prev_c, tex_c, none}},          {GL_REPLACE, {prev_a, none, none}},      no_colour, 1.0f, false},
  {tex_env_add,                {GL_ADD, {prev_c, tex_c, none}},          {GL_ADD, {prev_a, tex_a, none}},         no_colour, 1.0f, false},
  {tex_env_modulate_tex_alpha, {GL_MODULATE, {prev_c, tex_c, none}},     {GL_REPLACE, {tex_a, none, none}},       no_colour, 1.0f, false},
  {tex_env_alpha_difference,   {GL_REPLACE, {prev_c, none, none}},       {GL_SUBTRACT, {tex_a, prev_a, none}},    no_colour, 4.0f, false},
  {tex_env_alpha_cut,          {GL_REPLACE, {prev_c, none, none}},       {GL_MODULATE, {prev_1ma, tex_a, none}},  no_colour, 1.0f, false},
  {tex_env_darken_opaque,      {GL_MODULATE, {prev_c, prev_1ma, none}},  {GL_REPLACE, {const_a, none, none}},     white,     1.0f, false},
  {tex_env_pass,               {GL_REPLACE, {prev_c, none, none}},       {GL_REPLACE, {prev_a, none, none}},      no_colour, 1.0f, false},
  {tex_env_opaque,             {GL_REPLACE, {prev_c, none, none}},       {GL_REPLACE, {const_a, none, none}},     white,     1.0f, false},
  {tex_env_modulate_opaque,    {GL_MODULATE, {prev_c, tex_c, none}},     {GL_REPLACE, {const_a, none, none}},     white,     1.0f, false},
  {tex_env_alpha_as_grey,      {GL_REPLACE, {tex_a, none, none}},        {GL_REPLACE, {const_a, none, none}},     white,     1.0f, false},
  {tex_env_blend_by_tex_alpha, {GL_INTERPOLATE, {tex_c, prev_c, tex_a}}, {GL_REPLACE, {prev_a, none, none}},      no_colour, 1.0f, false},
  {tex_env_blend_by_alpha,     {GL_INTERPOLATE, {tex_c, prev_c, prev_a}}, {GL_REPLACE, {prev_a, none, none}},     no_colour, 1.0f, false},
  {tex_env_scale_by_tex_alpha, {GL_MODULATE, {prev_c, tex_a, none}},     {GL_REPLACE, {prev_a, none, none}},      no_colour, 1.0f, false},
  {tex_env_cross_fade,         {GL_INTERPOLATE, {tex_c, prev_c, const_c}}, {GL_INTERPOLATE, {tex_a, prev_a, const_a}}, no_colour, 1.0f, false},
  {tex_env_modulate_primary,   {GL_MODULATE, {prev_c, prim_c, none}},    {GL_REPLACE, {prev_a, none, none}},      no_colour, kKeepAlphaScale, false},
  {tex_env_tint,               {GL_INTERPOLATE, {prim_c, const_c, tex_c}}, {GL_REPLACE, {tex_a, none, none}},     black,     1.0f, true},
};
// clang-format on

void apply_side(const env_preset& p, bool alpha, const combine_side& side) {
  auto set = [&p](GLenum name, GLenum value) {
    if (p.float_calls)
      glTexEnvf(GL_TEXTURE_ENV, name, static_cast<GLfloat>(value));
    else
      env(name, GLint(value));
  };
  set(alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB, side.function);
  const GLenum src[3] = {GLenum(alpha ? GL_SOURCE0_ALPHA : GL_SOURCE0_RGB),
                         GLenum(alpha ? GL_SOURCE1_ALPHA : GL_SOURCE1_RGB),
                         GLenum(alpha ? GL_SOURCE2_ALPHA : GL_SOURCE2_RGB)};
  const GLenum op[3] = {GLenum(alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB),
                        GLenum(alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB),
                        GLenum(alpha ? GL_OPERAND2_ALPHA : GL_OPERAND2_RGB)};
  for (int i = 0; i < 3; ++i) {
    if (!side.args[i].source) continue;
    set(src[i], side.args[i].source);
    set(op[i], side.args[i].operand);
  }
}

// Applies a combine preset; false for a mode that is not one.
bool apply_preset(int mode) {
  for (const env_preset& p : kPresets) {
    if (p.mode != mode) continue;
    if (p.float_calls)
      glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, static_cast<GLfloat>(GL_COMBINE));
    else
      env(GL_TEXTURE_ENV_MODE, GL_COMBINE);
    apply_side(p, false, p.rgb);
    apply_side(p, true, p.alpha);
    if (p.colour == preset_colour::white) env_colour(1, 1, 1, 1);
    if (p.colour == preset_colour::black) env_colour(0, 0, 0, 0);
    if (p.alpha_scale != kKeepAlphaScale) glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, p.alpha_scale);
    return true;
  }
  return false;
}

}  // namespace

// [SECTION] Binding

UTL_stat& TEX_kill_tex_stat() { return gKillTex; }

void TEX_bind_ref(int tex, int unit, int mode) {
  if (unit < 0 || unit >= kUnits) return;
  if (mode == tex_env_modulate) mode = GL_MODULATE;
  if (gKillTex.own_value != 0.0f && tex != tex_slot_widgets) tex = tex_slot_blank;
  if (tex == o_tex[unit] && mode == o_mod[unit]) return;

  if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  if (tex != o_tex[unit]) {
    glBindTexture(GL_TEXTURE_2D, GLuint(tex));
    o_tex[unit] = tex;
  }
  if (mode != tex_env_keep && mode != o_mod[unit]) {
    o_mod[unit] = mode;
    if (!glExt.combine_avail || !apply_preset(mode)) env(GL_TEXTURE_ENV_MODE, mode);
  }
  if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB);
}

void TEX_reset_bind() { g_units.reset(); }

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
