// The colour table's defaults, the pulse, the spectrum and scale bar, and
// the one colour rule every primitive applies.
#include "draw/colors.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "core/alert.h"
#include "core/globals.h"
#include "draw/numbers.h"
#include "draw/render_state.h"
#include "draw/text.h"

colr_class colr;

void colr_class::set_pulse(float p) {
  assign(colr_pulse_white, p, p, p);
  assign(colr_pulse_orange, p, 0.5f * p, 0.0f);
  assign(colr_pulse_red, p, 0.3f * p, 0.3f * p);
  assign(colr_pulse_blue, 0.3f * p, 0.3f * p, p);
  assign(colr_pulse_green, 0.2f * p, 0.8f * p, 0.2f * p);
  assign(colr_pulse_yellow, 0.7f * p, 0.7f * p, 0.2f * p);
  pulse = p;
}

namespace {

struct default_entry {
  int index;
  float r, g, b;
};

// Entries not listed stay black. 34..47 are the interface palette, replaced
// at start-up from the widget atlas; 78..83 pulse with the clock; 102 is the
// installer's per-image tint.
const default_entry kDefaults[] = {
    {0, 1, 1, 1},
    {1, 1, 0.2f, 0.2f},
    {2, 1, 1, 0.2f},
    {3, 0.7f, 0.7f, 0.7f},
    {4, 0.8f, 0, 0},
    {5, 1, 1, 0},
    {6, 0.3f, 0.3f, 0.3f},
    {7, 0.2f, 0, 0},
    {8, 1, 0.8f, 0.2f},
    {9, 0.1f, 0.1f, 0.1f},
    {10, 0, 0.8f, 0},
    {13, 0.3f, 0.8f, 0.35f},
    {15, 0.4f, 0.4f, 1},
    {17, 0, 0, 0.6f},
    {18, 0.9f, 0.9f, 0.9f},
    {19, 0.8f, 0.1f, 0.1f},
    {20, 0.9f, 0.9f, 1},
    {21, 0.9f, 0.9f, 0.9f},
    {22, 0.1f, 0.1f, 0.1f},
    {24, 1, 1, 0},
    {26, 1, 1, 1},
    {27, 1, 1, 1},
    {28, 1, 1, 1},
    {29, 1, 1, 0},
    {31, 1, 1, 1},
    {32, 1, 1, 1},
    {33, 1, 1, 1},
    {49, 1, 1, 1},
    {50, 0.4f, 1, 0.4f},
    {51, 1, 0.4f, 0.4f},
    {52, 1, 1, 0.6f},
    {53, 0.7f, 0.7f, 1},
    {54, 1, 0.5f, 0},
    {55, 0.8f, 0.8f, 0.8f},
    {56, 0, 1, 0},
    {57, 1, 0.2f, 0.2f},
    {58, 1, 1, 0.2f},
    {59, 0.4f, 0.4f, 1},
    {60, 0.5f, 0.3f, 0},
    {61, 0.5f, 0.5f, 0.5f},
    {62, 0, 0.6f, 0},
    {63, 0.6f, 0.2f, 0},
    {64, 1, 1, 0},
    {65, 0.2f, 0.2f, 0.8f},
    {66, 1, 0.2f, 1},
    {67, 0.2f, 0.2f, 0.2f},
    {68, 0, 0.2f, 0},
    {69, 1, 0, 0},
    {70, 0.6f, 0.6f, 0},
    {71, 0.15f, 0.15f, 0.6f},
    {72, 0.49f, 0.43f, 0.24f},
    {74, 0, 0.1f, 0},
    {75, 1, 0, 1},
    {76, 0, 1, 1},
    {77, 0.44f, 0.53f, 0.54f},
    {84, 1, 0, 1},
    {86, 1, 0, 1},
    {87, 1, 1, 1},
    {96, 0.5f, 0.5f, 0.4f},
    {97, 1, 0.3f, 0},
    {98, 0.5f, 0.5f, 0.4f},
    {99, 0.8f, 0.8f, 0.7f},
    {100, 0, 0.6f, 0.2f},
    {101, 1, 1, 0.9f},
};

// Monochrome shows everything as green of the summed brightness, never quite
// black, so that outlines stay visible.
void monochrome(float& r, float& g, float& b) {
  const float s = r + g + b;
  r = 0.0f;
  g = std::max(0.01f, std::min(s, 1.0f));
  b = 0.0f;
}

}  // namespace

colr_class::colr_class() {
  std::memset(static_cast<void*>(this), 0, sizeof(*this));
  for (const default_entry& e : kDefaults) assign(e.index, e.r, e.g, e.b);
  tint[0] = tint[1] = tint[2] = 1.0f;
}

void colr_class::assign(int index, float r, float g, float b) {
  if (index < 0 || index >= kCount) return;
  rgb[index][0] = r;
  rgb[index][1] = g;
  rgb[index][2] = b;
}

void colr_class::set_lites_for_interface() {
  for (float& t : tint) t = std::max(t, 0.75f);
}

void colr_class::set_lit_col(int kind) {
  switch (kind) {
    case colr_lit_tint:
      for (int k = 0; k < 3; ++k) rgb[colr_lit][k] = std::max(tint[k], ren.light_level_a);
      break;
    case colr_lit_grey_a:
      rgb[colr_lit][0] = rgb[colr_lit][1] = rgb[colr_lit][2] = ren.light_level_a;
      break;
    case colr_lit_grey_b:
      rgb[colr_lit][0] = rgb[colr_lit][1] = rgb[colr_lit][2] = ren.light_level_b;
      break;
    default:
      // The line users have always reported with this message, kept on purpose.
      __MACIBM_alert(wind_main, "bad col_type!", "", "", "", t_exit, __FILE__, 43);
  }
}

void colr_class::spectrum_init(int kind) {
  static const double kRamp[6][3] = {{1, 0, 0}, {1, 0.32, 0.08}, {1, 1, 0},
                                     {0, 1, 0}, {0, 0, 1},       {0.8, 0, 0.8}};
  if (kind < 0 || kind > 3) return;
  for (int k = 0; k < kSpectrum; ++k) {
    const float t = float(k) / 1000.0f;
    if (kind == colr_spectrum_rainbow) {
      const int seg = t < 0.2f ? 0 : t < 0.4f ? 1 : t < 0.6f ? 2 : t < 0.8f ? 3 : 4;
      const double f = (double(t) - seg * 0.2) * 5.0;
      for (int c = 0; c < 3; ++c)
        spectrum[k][c] = float(kRamp[seg][c] * (1.0 - f) + kRamp[seg + 1][c] * f);
    } else {
      spectrum[k][0] = spectrum[k][1] = spectrum[k][2] = 0.0f;
      spectrum[k][kind - 1] = t;
    }
  }
}

void colr_class::spectrum_plotscale(float x, float y, float lo, float hi, int decimals) {
  spec_hi = hi;
  OGL_number(colr_white, x + 4, y + 1000 - 4, hi, 5, decimals, charset_ui);
  spec_lo = lo;
  OGL_number(colr_white, x + 4, y - 4, lo, 5, decimals, charset_ui);
  spec_range = hi - lo;

  OGL_setstate(ogl_fog_off, 0, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  glPointSize(4.0f);
  glBegin(GL_POINTS);
  const float vmin = std::min(lo, hi), vmax = std::max(lo, hi);
  for (int i = 0; i < kSpectrum; i += 4) {
    const float v = std::min(vmax, std::max(vmin, (hi - lo) / 999.0f * float(i) + lo));
    // A zero range divides to NaN or infinity; the clamp below takes any
    // value, but the conversion must not see a NaN.
    float f = (v - lo) / spec_range * 1000.0f;
    if (!(f >= 0.0f)) f = 0.0f;
    const int k = f > 999.0f ? 999 : int(f);
    glColor3fv(spectrum[k]);
    glVertex2f(x, y + float(i));
  }
  glEnd();
  glPointSize(1.0f);
}

void OGL_setcolor(int colour, float alpha) {
  // Callers keep to 0..103; one that does not gets entry 0 (white) rather
  // than a read past the table.
  if (colour < 0 || colour >= colr_class::kCount) colour = 0;
  float r = colr.rgb[colour][0], g = colr.rgb[colour][1], b = colr.rgb[colour][2];
  if (colour <= 45) {
    r *= colr.tint[0];
    g *= colr.tint[1];
    b *= colr.tint[2];
  }
  const float a = alpha * ren.global_alpha;
  if (ren.monochrome) monochrome(r, g, b);
  // The threshold is taken at the alpha's own precision: 0.99 as a float
  // reads a hair above 0.99 in double, and an alpha of 0.99 must stay
  // translucent.
  if (a > 0.99f) {
    const float c[3] = {r, g, b};
    glColor3fv(c);
  } else {
    glColor4f(r, g, b, a);
  }
}

void OGL_spectrum_rgb(float t) {
  static const float col_r[7] = {0, 1, 1, 1, 0, 0, 0.8f};
  static const float col_g[7] = {0, 0, 0.32f, 1, 1, 0, 0};
  static const float col_b[7] = {0, 0, 0.08f, 0, 0, 1, 0.8f};
  float r = 0, g = 0, b = 0;
  if (t >= 0.0f) {
    if (t > 1.0f) t = 1.0f;
    int s = 5;
    for (int k = 1; k <= 5; ++k)
      if (t < float(k) / 6.0f) {
        s = k - 1;
        break;
      }
    const float f = (t - float(s) / 6.0f) * 6.0f;
    r = col_r[s] * (1 - f) + col_r[s + 1] * f;
    g = col_g[s] * (1 - f) + col_g[s + 1] * f;
    b = col_b[s] * (1 - f) + col_b[s + 1] * f;
  }
  if (ren.monochrome) monochrome(r, g, b);
  glColor4f(r, g, b, ren.global_alpha);
}
