// The interface font's layout: which 14 x 15 cell of the widget atlas holds
// each byte's glyph, and how far each byte advances the pen. Text drawing,
// measuring, the widgets and the image generator all read these tables, so a
// glyph's ink and its advance can never disagree.
#pragma once

// Cell size of the glyph grid; the grid's origin is atlas pixel (0, 0).
enum { OGL_glyph_cell_dx = 14, OGL_glyph_cell_dy = 15, OGL_glyph_cols = 21, OGL_glyph_rows = 5 };

// Advance of a byte in window units (0 for bytes without a glyph).
int OGL_glyph_width(unsigned char byte);

// The grid cell of a byte's glyph; bytes without a glyph give (0, 0), the
// blank cell.
void OGL_glyph_cell(unsigned char byte, int* col, int* row);
