// Bitmap-font text: one textured quad per glyph, laid out by the glyph width
// table of draw/font_widths.h, with word wrapping and left, centred or right
// alignment.
//
// Charsets: 100 the interface font (widget atlas, slot 388, proportional);
// 102 the same glyphs on a fixed 10-unit pitch (digit fields); 103 a 40-column
// grid of 13 x 13 cells in slot 392 on a 15-unit pitch. Any other charset is
// fatal.
#pragma once

#include <string>

// The charset argument of every text call.
enum text_charset {
  charset_ui = 100,     // the interface font, proportional
  charset_fixed = 102,  // the same glyphs on a fixed 10-unit pitch
  charset_grid = 103,   // the 13 by 13 grid font of slot 392
};

// The align argument of every text call.
enum text_align {
  align_left = 0,    // starting at x
  align_centre = 1,  // centred on x
  align_right = 2,   // ending at x
};

// The module's state: the glyph scale oglp; above 1 every glyph's quad is
// that many times larger (the texture cell stays the same).
struct OGL_text_state {
  float oglp = 1.0f;

  void reset() { *this = OGL_text_state(); }
};
extern OGL_text_state ogl_text;
extern float& oglp;

// Sets the text render state, the colour (alpha 1) and the charset's texture
// on unit 0; fills the font's texture origin and cell size in atlas pixels.
// Returns the fixed advance: 0 (proportional) for 100, 10 for 102, 15 for 103.
int OGL_strtex(int charset, int colour, float* s0, float* t0, float* cell_dx, float* cell_dy);

// One glyph at drawable coordinates (x, y); the caller brackets a run of
// glyphs with glBegin(GL_QUADS) and glEnd.
void OGL_char(float x, float y, float s0, float t0, float cell_dx, float cell_dy, int code,
              int charset);

// One line at drawable coordinates: align 1 centred on x, 2 ending at x,
// anything else starting at x. Carriage returns, line feeds and tabs take no
// room and are not drawn.
void str_one_line(int colour, float x, float y, const std::string& text, int charset, int align);

// A wrap width that never wraps.
constexpr float text_one_line = 9999;

// colour, x, y (units of the current window), text, wrap width (0 or less, or
// 9999 and more: one line), charset, alignment. Lines break after a space,
// "-" or "/" when the next word would pass the width, and at line feeds;
// words are never split. Returns the y of the line that would follow a
// wrapped text (10 units per line), else the rounded y.
float OGL_string(int colour, float x, float y, const std::string& text, float wrap, int charset,
                 int align);

// The width of a text by the glyph width table, whatever the charset: the
// measure of centring, wrapping and widget sizes.
float OGL_string_width(const std::string& text, int charset);

// A centred text on a dark, half-transparent box.
void OGL_gray_string(int colour, float x, float y, const std::string& text);
