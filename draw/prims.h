// 2-D primitives in units of the current window (the window's origin is
// added). Only what the shell needs so far: the full set comes with the
// drawing layer.
#pragma once

// Fills the whole drawable with colour 34, the window background.
void OGL_plot_back_col();
// Ends the frame: shows what was drawn.
void OGL_sbuff();
// Back to the plain colour and alpha rules after something changed them.
void OGL_nrml_colors();
void OGL_fillrect(int colour, float alpha, float x, float y, float width, float height);
// A textured quad from a texture slot: four corners of x, y, s, t each.
void OGL_2dquad(int slot, int colour, float alpha, float x1, float y1, float s1, float t1, float x2,
                float y2, float s2, float t2, float x3, float y3, float s3, float t3, float x4,
                float y4, float s4, float t4, int units, int alpha_mode);
