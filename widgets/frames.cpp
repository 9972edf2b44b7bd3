// Window frames, panels and close boxes, and the one mouse hit test of
// the widgets.
#include "widgets/frames.h"

#include "core/globals.h"
#include "draw/prims.h"
#include "draw/text.h"

namespace {
int frame_colour(int kind) { return kind == 14 ? 46 : 35; }
}  // namespace

bool BTN_mouse_in(float l, float b, float r, float t) {
  return mnw.mouse_x >= l && mnw.mouse_x <= r && mnw.mouse_y >= b && mnw.mouse_y <= t;
}

void BTN_frame1(int kind, float x, float y, float w, int /*colour*/) {
  OGL_fillrect(frame_colour(kind), 1.0f, x - w * 0.5f, y - 10, w, 20);
}

void BTN_frame2(int kind, float x, float y, float w, float h, const std::string& title) {
  OGL_fillrect(frame_colour(kind), 1.0f, x, y, w, h);
  if (!title.empty())
    OGL_string(41, x + w * 0.5f - OGL_string_width(title, 100) * 0.5f, y + h - 14, title, 0, 100,
               0);
}

void BTN_fillwin(int active, int kind) {
  BTN_frame2(active ? 11 : 12, 0, 0, mnw.window_dx, mnw.window_dy, stls.window_title);
  if (kind == 21) return;
  if (kind == 1)
    BTN_frame1(1, mnw.window_dx * 0.5f, mnw.window_dy - 50, mnw.window_dx, 0);
  else
    BTN_frame2(kind, 10, 10, mnw.window_dx - 20, mnw.window_dy - 40, "");
}

void BTN_subwin(float top_margin, int kind, float x, float y, float w, float h,
                const std::string& title, float* right, float* top) {
  if (x < 0) x = 10;
  if (y < 0) y = 10;
  if (w < 0) w = mnw.window_dx - 10 - x;
  if (h < 0) h = mnw.window_dy - 28 - y - top_margin;
  BTN_frame2(kind, x, y, w, h, title);
  if (right) *right = x + w + 10;
  if (top) *top = y + h + 10;
}

int BTN_zap_boxes(int lit) {
  const float top = mnw.window_dy - 1, bottom = mnw.window_dy - 19;
  OGL_fillrect(lit ? 43 : 36, 1.0f, 7, bottom, 18, 18);
  if (mnw.mouse_down && BTN_mouse_in(7, bottom, 25, top)) return 1;
  OGL_fillrect(lit ? 43 : 36, 1.0f, mnw.window_dx - 25, bottom, 18, 18);
  return mnw.mouse_down && BTN_mouse_in(mnw.window_dx - 25, bottom, mnw.window_dx - 7, top) ? 1 : 0;
}
