#include "draw/colors.h"

colr_class colr;

void colr_class::assign(int index, float r, float g, float b) {
  if (index < 0 || index >= kCount) return;
  rgb[index][0] = r;
  rgb[index][1] = g;
  rgb[index][2] = b;
}
