// The vertical scroll bar and the horizontal slider.
#include "widgets/sliders.h"

#include <algorithm>
#include <cmath>

#include "core/alert.h"
#include "core/clock.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/text.h"
#include "widgets/frames.h"

sliders_state g_sliders;

namespace {

// The clock's flag raised once every 0.2 s, which paces auto-repeat.
constexpr int kEvery0_2s = 5;

}  // namespace

void BTN_reset_sliders() { g_sliders = sliders_state(); }

int BTN_vert_slider(int slot, float x, float bottom, float top, int min, int max, int* value) {
  BTN_frame0(frame_scroll_track, x, (top + bottom) / 2, top - bottom);
  if (max <= min) return 0;
  // The range and every step in wider types: at the int limits max - min and
  // a step past max overflow an int.
  const double span = double(max) - double(min);
  const float lo = bottom + 9, hi = top - 10;
  const float ty =
      std::clamp(hi + (lo - hi) * float((double(*value) - double(min)) / span), lo, hi);
  // A negative slot would index in front of the grab array just as a large
  // one past it.
  if (slot < 0 || slot > 3) {
    MACIBM_alert(wind_main, "Too many sliders!", "", "", "", t_exit);
    return 0;
  }
  int& grabbed = slider_grabbed[slot];
  if (!mnw.mouse_held)
    grabbed = 0;
  else if (BTN_mouse_in(x - 11, ty - 11, x + 11, ty + 11))
    grabbed = 1;
  if (grabbed) {
    const float a = top - 11, b = bottom + 11;
    const float f = a == b ? 0.5f : (mnw.mouse_y - a) / (b - a);
    *value = static_cast<int>(std::clamp(double(min) + span * double(f), double(min), double(max)));
  } else if ((mnw.mouse_down || (mnw.mouse_long_hold && xtim.act_once[kEvery0_2s])) &&
             mnw.mouse_x >= x - 11 && mnw.mouse_x <= x + 11) {
    // Zones in this order on the same value; an edge belongs to both its
    // neighbours.
    const float my = mnw.mouse_y;
    long long stepped = *value;
    if (my >= top && my <= top + 20) stepped -= 1;
    if (my >= bottom - 20 && my <= bottom) stepped += 1;
    if (my >= bottom && my <= top) stepped += my >= ty ? -10 : 10;
    *value = static_cast<int>(std::clamp<long long>(stepped, min, max));
  }
  *value = std::clamp(*value, min, max);
  const int colour = grabbed ? colr_help_text : colr_white;
  BTN_atlas_quad(x - 9, top + 8 - 11, x + 9, top + 8 + 11, atlas::scroll_up, colour);
  BTN_atlas_quad(x - 9, ty - 12, x + 9, ty + 12, atlas::scroll_thumb, colour);
  BTN_atlas_quad(x - 9, bottom - 10 - 11, x + 9, bottom - 10 + 11, atlas::scroll_down, colour);
  return grabbed;
}

int BTN_horz_slider(float x, float y, float w, int colour, float min, float max, float* value,
                    int editable, const std::string& label, const std::string& caption) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  if (max > min && max < min + 0.01f) max = min + 0.01f;
  if (max <= min && min < max + 0.01f) min = max + 0.01f;
  BTN_frame1(frame_slider_track, x + w / 2, y, w, colr_white);
  BTN_util_draw_label(x - 8, y, 0, left, 0);
  BTN_util_draw_label(x + w + 8, y, 2, right, 0);
  if (BTN_mouse_in(x, y - 7, x + w, y + 7)) stls.help_text = help;
  OGL_string(colr_label, x + w / 2, y + 10, caption, 9999, charset_ui, align_centre);
  // In double: across most of the float range max - min is infinite in float.
  const double span = double(max) - double(min);
  auto along = [&](float v) { return float(double(w) * (double(v) - double(min)) / span); };
  const float f = std::clamp(along(*value), 0.0f, w);
  int used = 0;
  if (editable && mnw.mouse_held && BTN_mouse_in(x - 20, y - 20, x + w + 20, y + 20)) {
    // The clamp runs both ways: min may lie above max after the range fix.
    const double v = double(min) + span * double(mnw.mouse_x - x) / double(w);
    *value = float(std::clamp(v, double(std::min(min, max)), double(std::max(min, max))));
    used = 1;
  }
  if (colour != colr_dark_text && f > 0) {
    const float fw = 2 * std::round(std::trunc(f) / 2);
    BTN_frame1(frame_slider_fill, x + fw / 2, y + 4, fw, colour);
  }
  if (editable) {
    const float tx = std::clamp(x + along(*value), x, x + w);
    BTN_atlas_quad(tx - 10, y + 2 - 11, tx + 10, y + 2 + 11, atlas::slider_thumb, colr_white);
  }
  return used;
}
