// Bitmap-font text: the charsets' atlas cells, one quad per glyph, lines
// broken at spaces, dashes and slashes, and three alignments.
#include "draw/text.h"

#include <GL/gl.h>

#include <cmath>

#include "core/alert.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/font_widths.h"
#include "draw/prims.h"
#include "draw/render_state.h"
#include "draw/tman.h"

OGL_text_state ogl_text;
float& oglp = ogl_text.oglp;

namespace {

// Texture coordinates are atlas pixels of a 512 x 512 texture.
constexpr float kAtlasScale = 1.0f / 512.0f;

// Lines of wrapped text are this far apart.
constexpr int kLineStep = 10;

bool is_break(char c) { return c == ' ' || c == '-' || c == '/'; }

// The pen's advance for one byte: the charset's fixed pitch, or the byte's
// own width for the proportional font.
int advance_of(char c, int fixed) { return fixed > 0 ? fixed : OGL_glyph_width((unsigned char)c); }

}  // namespace

int OGL_strtex(int charset, int colour, float* s0, float* t0, float* cell_dx, float* cell_dy) {
  int slot = tex_slot_widgets, advance = 0;
  float dx = OGL_glyph_cell_dx, dy = OGL_glyph_cell_dy;
  switch (charset) {
    case charset_ui:
      break;
    case charset_fixed:
      advance = 10;
      break;
    case charset_grid:
      slot = tex_slot_grid_font;
      dx = dy = 13;
      advance = 15;
      break;
    default:
      // The line users have always reported with this message, kept on purpose.
      __MACIBM_alert(wind_main, "String proc with bad charset!", "", "", "", t_exit, __FILE__, 493);
      return 0;
  }
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  OGL_setcolor(colour, 1.0f);
  tman.bind_ref(slot, 0, tex_env_modulate);
  *s0 = 0.0f;
  *t0 = 0.0f;
  *cell_dx = dx;
  *cell_dy = dy;
  return advance;
}

void OGL_char(float x, float y, float s0, float t0, float cell_dx, float cell_dy, int code,
              int charset) {
  const float X = std::trunc(x), Y = std::trunc(y) - 4;
  int col = 0, row = 0;
  if (charset == charset_grid) {
    // The grid is indexed by the byte; a negative code would pick a cell left
    // of or below the font.
    const unsigned char b = (unsigned char)code;
    col = b % 40;
    row = b / 40;
  } else {
    OGL_glyph_cell((unsigned char)code, &col, &row);
  }
  const float s = (s0 + float(col) * cell_dx) * kAtlasScale;
  const float t = (t0 + float(row) * cell_dy) * kAtlasScale;
  const float tw = cell_dx * kAtlasScale, th = cell_dy * kAtlasScale;
  float w = cell_dx, h = cell_dy;
  if (oglp > 1.0f) {
    w *= oglp;
    h *= oglp;
  }
  OGL_quad_corners(X, Y, w, h, s, t, tw, th);
}

void str_one_line(int colour, float x, float y, const std::string& text, int charset, int align) {
  float s0, t0, cw, ch;
  const int fixed = OGL_strtex(charset, colour, &s0, &t0, &cw, &ch);
  // Alignment measures by the proportional widths even for the fixed-pitch
  // charsets, so a digit field is centred as if it were interface text.
  if (align == 1)
    x = float(double(x) - double(OGL_string_width(text, charset)) * 0.5);
  else if (align == 2)
    x -= OGL_string_width(text, charset);
  glBegin(GL_QUADS);
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == '\t') continue;
    OGL_char(x, y, s0, t0, cw, ch, (signed char)c, charset);
    x += float(advance_of(c, fixed));
  }
  glEnd();
}

float OGL_string(int colour, float x, float y, const std::string& text, float wrap, int charset,
                 int align) {
  const float X = std::round(x + mnw.origin_x);
  float Y = std::round(y + mnw.origin_y - 2);
  // One line sets its own text state; only the wrapping needs the pitch.
  if (wrap <= 0 || wrap >= text_one_line) {
    str_one_line(colour, X, Y, text, charset, align);
    return Y - mnw.origin_y + 2;
  }
  float s0, t0, cw, ch;
  const int fixed = OGL_strtex(charset, colour, &s0, &t0, &cw, &ch);

  const float right = X + wrap;
  float pen = X;
  std::string line;
  const size_t n = text.size();
  size_t i = 0;
  auto flush = [&] {
    str_one_line(colour, X, Y, line, charset, align);
    Y -= kLineStep;
    line.clear();
    pen = X;
  };
  while (i < n) {
    const char c = text[i];
    line += c;
    pen += float(advance_of(c, fixed));
    if (c == '\n' || i == n - 1) {
      flush();
      ++i;
      continue;
    }
    if (!is_break(c)) {
      ++i;
      continue;
    }
    // After a break character the next word must fit whole; it is measured
    // at 6 units a byte, the width of an average glyph.
    const size_t j = i + 1;
    float test = pen;
    for (size_t k = j; k < n && !is_break(text[k]); ++k) test += 6.0f;
    if (test > right) flush();
    i = j;
  }
  return Y - mnw.origin_y + 2;
}

float OGL_string_width(const std::string& text, int /*charset*/) {
  int sum = 0;
  for (char c : text) sum += OGL_glyph_width((unsigned char)c);
  return float(sum);
}

void OGL_gray_string(int colour, float x, float y, const std::string& text) {
  const float half = OGL_string_width(text, charset_ui) / 2;
  const float left = x - half;
  OGL_grayrect(left - 2, y - 2, x + half + 2, y + 8, 0.5f);
  OGL_string(colour, left, y, text, text_one_line, charset_ui, align_left);
}
