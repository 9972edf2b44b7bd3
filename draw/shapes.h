// Fixed-function 3-D shapes for a lit scene, the background image tiled over
// sixteen texture slots, and screenshots of the drawable.
#pragma once

// The module's state: the size in pixels of the background image
// OGL_make_back_tex loaded, and the last screenshot number tried.
struct OGL_shapes_state {
  int back_dx = 0, back_dy = 0;
  int screenshot_number = 0;

  void reset() { *this = OGL_shapes_state(); }
};
extern OGL_shapes_state ogl_shapes;
extern int& back_dx;
extern int& back_dy;

// Two vertices; the caller brackets them with glBegin(GL_LINES).
void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
// The normal, then four corners (three floats each) with texture coordinates
// (1, 1), (1, 0), (0, 0), (0, 1); the caller brackets with glBegin(GL_QUADS).
void OGL_3dquad(float* p0, float* p1, float* p2, float* p3);
// The same with the texture span: (s0, t0), (s0, t1), (s1, t1), (s1, t0).
void OGL_3dquad_st(float* p0, float* p1, float* p2, float* p3, float s0, float t0, float s1,
                   float t1);
// A textured box standing on y = 0 at (x, y, z), turned by heading degrees.
void OGL_cube(float x, float y, float z, float width, float height, float depth, float s0, float s1,
              float t0, float t1, float heading);
// A disc-like body of revolution about the x axis.
void OGL_disc(float x, float y, float z, float radius);

// Loads "Resources/bitmaps/intro.png" (at most 2048 pixels a side) into
// slots 423..438, one 512 x 512 tile each: slot 423 + 4 row + column holds
// the tile at image pixel (512 column, 512 row). A missing image is fatal.
void OGL_make_back_tex();
// Draws the background from its tiles, one drawable pixel per image pixel.
void OGL_plot_back_tex();

// Reads the drawable (its central 2048 x 2048 at most) as RGB into
// scratch_array and, with save, writes it as the first free
// "screenshot_<n>.png".
void OGL_screenshot(int save);
// Printing: nothing to do on this platform.
void OGL_printer();
