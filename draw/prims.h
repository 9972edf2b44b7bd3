// 2-D primitives in units of the current window, origin at its lower left,
// y up: each call states its own render state, sets its colour from a colour
// index and an alpha (draw/colors.h) and adds the current window's origin
// (mnw.origin_x, mnw.origin_y) to every coordinate. Main thread only.
#pragma once

// One line between the pixel centres of (x1, y1) and (x2, y2).
void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2);
// A filled rectangle; a negative width or height mirrors it.
void OGL_fillrect(int colour, float alpha, float x, float y, float width, float height);
// An outline through the pixel centres, one pixel wider and taller than the
// rectangle.
void OGL_framerect(int colour, float alpha, float x, float y, float width, float height);
// A disc of horizontal lines one unit apart; a negative radius draws nothing.
void OGL_fillcircle(int colour, float x, float y, float radius);
// A circle outline of 72 segments, opaque.
void OGL_framecircle(int colour, float x, float y, float radius);
// A ring sector; angles in degrees, 0 straight up, growing clockwise.
void OGL_arc(int colour, float x, float y, float inner, float outer, float start, float end);
// A quad from (x1, y1) to (x2, y2) in colour 12, behind grey text.
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);

// A textured quad from a texture slot: four corners of x, y, s, t each, in
// that order. A slot of 0 or below binds nothing: unit 0 keeps its texture.
void OGL_2dquad(int slot, int colour, float alpha, float x1, float y1, float s1, float t1, float x2,
                float y2, float s2, float t2, float x3, float y3, float s3, float t3, float x4,
                float y4, float s4, float t4, int units, int alpha_mode);
// The same from a corner, a size and a texture span, on one texture unit.
void OGL_2dquad_d(int slot, int colour, float alpha, float x, float y, float s, float t,
                  float width, float height, float s_span, float t_span, int alpha_mode);

// The four corners of a textured rectangle, between glBegin(GL_QUADS) and
// glEnd(): lower left, upper left, upper right, lower right, the texture
// span laid out the same way. Coordinates as given: no window origin, no
// render state.
void OGL_quad_corners(float x, float y, float width, float height, float s, float t, float s_span,
                      float t_span);

// Fills the whole drawable with colour 34, the window background, whatever
// the current window's origin.
void OGL_plot_back_col();
// Ends the frame: resets the colour to white and shows what was drawn.
void OGL_sbuff();
// Normal blending (source alpha over the destination).
void OGL_nrml_colors();
// Additive blending.
void OGL_glow_colors();
