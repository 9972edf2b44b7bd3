// Numbers in fixed digit cells: the text of a value with its sign, point
// and separators, and its drawing.
#include "draw/numbers.h"

#include <GL/gl.h>

#include <cmath>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/text.h"

namespace {

// The digits of one value, shared by both forms.
struct number_parts {
  float a = 0;       // |value|
  float scaled = 0;  // a times 10^decimals
  float r = 0;       // scaled, rounded by the half added before truncation
  int needed = 1;    // digits the integer part of scaled needs, at least decimals + 1
  bool negative = false;

  number_parts(float value, int decimals) {
    a = std::fabs(value);
    scaled = float(std::pow(10.0, decimals) * a);
    r = scaled + 0.5f;
    static const float kSteps[] = {9, 99, 999, 9999, 99999, 999999, 9999999, 1e8f, 1e9f};
    for (float step : kSteps)
      if (scaled > step) ++needed;
    if (needed < decimals + 1) needed = decimals + 1;
    // A negative value that rounds to zero shows no sign.
    negative = value < 0 && scaled > 0.1f;
  }

  // Digit k of r (0 the units). Worked in double, never through an int, so a
  // value beyond the int range still gives its digits; what has no digits
  // (infinity, NaN) shows zeros.
  int digit(int k) const { return digit_of(double(r), k); }

  static int digit_of(double v, int k) {
    const double q = std::trunc(v / std::pow(10.0, k));
    if (!std::isfinite(q)) return 0;
    const double d = std::fmod(q, 10.0);
    return d >= 0 && d <= 9 ? int(d) : 0;
  }
};

char digit_char(int d) { return char('0' + d); }

}  // namespace

std::string OGL_number_text(float value, int digits, int decimals) {
  const number_parts n(value, decimals);
  std::string text = n.negative ? "-" : "";
  if (digits < n.needed) {
    // d.ddxe: three significant digits times 10 to the e. Infinity stops
    // shrinking once e is past what one digit shows anyway.
    int e = 2;
    double m = n.a;
    while (m >= 999 && e < 64) {
      m = float(m / 10);
      ++e;
    }
    m = std::round(m);
    text += digit_char(number_parts::digit_of(m, 2));
    text += '.';
    text += digit_char(number_parts::digit_of(m, 1));
    text += digit_char(number_parts::digit_of(m, 0));
    text += 'x';
    text += e >= 10 ? '0' : digit_char(e);
    return text;
  }
  const int p = digits - decimals;
  for (int i = 0; i < digits; ++i) {
    if (i == p && p > 0) text += '.';
    const int left = p - i;  // integer digits to go, this one included
    if ((left == 3 || left == 6 || left == 9) && p > left) text += ',';
    text += digit_char(n.digit(digits - 1 - i));
  }
  return text;
}

void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int charset) {
  if (charset != charset_fixed) {
    OGL_string(colour, x, y, OGL_number_text(value, digits, decimals), text_one_line, charset,
               align_left);
    return;
  }
  const number_parts n(value, decimals);
  float s0, t0, cw, ch;
  const float cell = float(OGL_strtex(charset_fixed, colour, &s0, &t0, &cw, &ch));
  const float X0 = std::round(x + mnw.origin_x) - cell;
  const float Y = std::round(y + mnw.origin_y) - 2;
  glBegin(GL_QUADS);
  if (n.negative) OGL_char(X0 + 1, Y, s0, t0, cw, ch, '-', charset_fixed);
  const int p = digits - decimals;
  if (decimals >= 1) OGL_char(X0 + (float(p) + 0.5f) * cell, Y, s0, t0, cw, ch, '.', charset_fixed);
  for (int group = 3; group <= 9; group += 3)
    if (p > group)
      OGL_char(X0 + (float(p - group) + 0.5f) * cell, Y, s0, t0, cw, ch, ',', charset_fixed);
  // Eleven cells at most; the separators still follow the digit count.
  const int shown = digits < 11 ? digits : 11;
  for (int i = 0; i < shown; ++i)
    OGL_char(X0 + cell * float(i + 1), Y, s0, t0, cw, ch, digit_char(n.digit(shown - 1 - i)),
             charset_fixed);
  glEnd();
}
