// The glyph cell and width tables of the interface font.
#include "draw/font_widths.h"

#include <cstring>

namespace {

// The grid, row by row from the bottom of the atlas. Row 4 ends with Latin-1
// accented letters, written as escapes.
const char* const kRows[OGL_glyph_rows] = {
    " 0123456789AaBbCcDdEe",
    "FfGgHhIiJjKkLlMmNnOoP",
    "pQqRrSsTtUuVvWwXxYyZz",
    "!@#$%^&*()-_+=[]|\\':;",
    "<.>,?/`\xFB\xC1\xE1\xC9\xE9\xCD\xED\xD3\xF3\xDA\xFA\xD1\xF1\xBF",
};

struct Widths {
  unsigned char width[256] = {};
  unsigned char col[256] = {};
  unsigned char row[256] = {};

  void set(const char* bytes, int w) {
    for (const char* p = bytes; *p; ++p) width[(unsigned char)*p] = (unsigned char)w;
  }

  Widths() {
    set(",.", 2);
    set(" '/:;Ij\\`il|\xFB", 3);
    set("!()-J[]frst", 4);
    set("c", 5);
    set("#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA", 6);
    set("+<=>BCKRVXYbdghnopqu", 7);
    set("&ADGHNU", 8);
    set("@OQw", 9);
    set("Mm", 10);
    set("%W", 11);
    for (int r = 0; r < OGL_glyph_rows; ++r)
      for (int c = 0; c < OGL_glyph_cols; ++c) {
        unsigned char b = (unsigned char)kRows[r][c];
        col[b] = (unsigned char)c;
        row[b] = (unsigned char)r;
      }
  }
};

const Widths& tables() {
  static const Widths w;
  return w;
}

}  // namespace

int OGL_glyph_width(unsigned char byte) { return tables().width[byte]; }

void OGL_glyph_cell(unsigned char byte, int* col, int* row) {
  *col = tables().col[byte];
  *row = tables().row[byte];
}
