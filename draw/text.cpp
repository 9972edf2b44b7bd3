#include "draw/text.h"

#include <cmath>

// Lines break every this many units of width when wrapping.
static float wrapped_lines(const std::string& text, float wrap, int charset) {
  if (wrap <= 0) return 1;
  float w = OGL_string_width(text, charset);
  return w <= wrap ? 1 : std::ceil(w / wrap);
}

float OGL_string(int /*colour*/, float /*x*/, float y, const std::string& text, float wrap,
                 int charset, int /*align*/) {
  if (wrap <= 0) return std::round(y);
  return y - 10 * wrapped_lines(text, wrap, charset);
}

// A fixed pitch of 7 units stands in for the interface font's glyph widths.
float OGL_string_width(const std::string& text, int /*charset*/) {
  return 7.0f * static_cast<float>(text.size());
}
