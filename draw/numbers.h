// Numbers with a fixed number of digits. Charset 102 draws one glyph per
// 10-unit digit cell, leading zeros included, with the sign, decimal point
// and thousands separators set between the cells, so a field keeps its
// layout while its value changes. Any other charset draws the same digits as
// text, or a short power-of-ten form (d.ddxe) when the value needs more
// digits than the count allows.
#pragma once

#include <string>

// colour, x, y (units of the current window), value, digit count (decimals
// included), decimals, charset.
void OGL_number(int colour, float x, float y, float value, int digits, int decimals, int charset);

// The text the non-cell form draws.
std::string OGL_number_text(float value, int digits, int decimals);
