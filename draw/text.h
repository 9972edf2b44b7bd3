// Bitmap-font text. The font comes with the drawing layer; until then text
// takes its place on the page without being drawn.
#pragma once

#include <string>

// colour, x, y (units of the current window), text, wrap width (0 none),
// charset (100 the interface font), alignment (1 centred on x). Returns the y
// of the line that would follow a wrapped text, else y.
float OGL_string(int colour, float x, float y, const std::string& text, float wrap, int charset,
                 int align);
// Width of a text in the interface font.
float OGL_string_width(const std::string& text, int charset);
