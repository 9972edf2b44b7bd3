// Window frames, panels, close boxes, tabs, the direction dial and the boxed
// string: tiled elements of the widget atlas.
//
// Contents:
//   [SECTION] Tiling
//   [SECTION] Bars and boxes
//   [SECTION] Windows, panels and close boxes
//   [SECTION] Tabs, dial and boxed string
#include "widgets/frames.h"

#include <GL/gl.h>

#include <cmath>

#include "core/alert.h"
#include "core/clock.h"
#include "core/constants.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/numbers.h"
#include "draw/prims.h"
#include "draw/render_state.h"
#include "draw/text.h"
#include "draw/tman.h"

// [SECTION] Tiling

namespace {

// Rounds halves away from zero.
float R(float v) { return std::round(v); }

// The caller's misuse of a frame call ends the program; the lines name this
// module as its alerts always have.
void bad_call(const char* line, int source_line) {
  __MACIBM_alert(wind_main, line, "", "", "", t_exit, "butn", source_line);
}

// One stretch of an element along one axis, in screen units from the start
// of the drawn length and in atlas units from the element's origin.
struct span {
  float from, to, atlas_from, atlas_to;
};

// How an element stretches along one axis: a low cap, a middle repeated and
// the last repeat cut to fit, a high cap taken from atlas_high on.
struct axis {
  float low, middle, atlas_high, high;
};

// The spans of an element drawn length units long: the low cap, the middle
// tiles, the high cap. The tile count is the caller's, as the kinds differ in
// how they count.
template <typename Emit>
void tile(const axis& a, float length, int tiles, Emit emit) {
  emit(span{0, a.low, 0, a.low});
  const float limit = length - a.high;
  for (int i = 0; i < tiles; ++i) {
    const float from = a.low + a.middle * float(i);
    float to = from + a.middle, atlas_to = a.low + a.middle;
    if (to > limit) {
      atlas_to -= to - limit;
      to = limit;
    }
    // A bar narrower than its caps keeps an empty middle, never a reversed one.
    if (to < from) to = from, atlas_to = a.low;
    emit(span{from, to, a.low, atlas_to});
  }
  emit(span{limit, length, a.atlas_high, a.atlas_high + a.high});
}

// One textured quad: corners bottom-left, top-left, top-right, bottom-right.
void quad(float l, float b, float r, float t, float s0, float t0, float s1, float t1) {
  OGL_quad_corners(l, b, r - l, t - b, s0, t0, s1 - s0, t1 - t0);
}

void begin_frame(int slot, int colour) {
  OGL_setstate(ogl_fog_off, 1, ogl_lighting_off, ogl_alpha_blend, ogl_depth_test_off,
               ogl_depth_write_off);
  tman.bind_ref(slot, 0, 0);
  OGL_setcolor(colour, 1.0f);
  glBegin(GL_QUADS);
}

// [SECTION] Bars and boxes

// A bar kind: its element, the width it adds to the one asked and how far
// its centre lies above the y given.
struct bar_kind {
  int kind;
  atlas::bar element;
  float extra, shift;
};

const bar_kind kBars[] = {
    {frame_menu_bar, atlas::menu_bar, 0, -3},
    {frame_title_bar, atlas::title_bar, 0, -3},
    {frame_button, atlas::button, 0, 0},
    {frame_button_pressed, atlas::button_pressed, 0, 0},
    {frame_progress_track, atlas::progress_track, 0, 0},
    {frame_progress_fill, atlas::progress_fill, 0, 0},
    {frame_slider_track, atlas::slider_track, 0, 0},
    {frame_slider_fill, atlas::slider_fill, 0, 0},
    {frame_value_box, atlas::value_box, 4, 0},
    {frame_popup_box, atlas::popup_box, 4, 0},
};

struct box_kind {
  int kind, slot;
  atlas::box element;
  int title_colour;
  float title_drop;  // the title's baseline below the box's top
  bool centred;
};

const box_kind kBoxes[] = {
    {frame_window, tex_slot_widgets, atlas::window, colr_window_title, 13, true},
    {frame_window_idle, tex_slot_widgets, atlas::window_idle, colr_label, 16, true},
    {frame_panel, tex_slot_widgets, atlas::panel, colr_label, 16, true},
    {frame_help_box, tex_slot_widgets, atlas::help_box, colr_label, 16, true},
    {frame_panel_dark, tex_slot_widgets, atlas::panel_dark, colr_help_text, 16, true},
    {frame_text_panel, tex_slot_widgets, atlas::text_panel, colr_label, 16, true},
    {frame_menu_list, tex_slot_widgets, atlas::menu_list, colr_label, 16, true},
    {frame_box, tex_slot_widgets, atlas::box_normal, colr_label, 16, true},
    {frame_box_small, tex_slot_widgets, atlas::box_small, colr_label, 16, true},
    {frame_installer_panel, tex_slot_installer, atlas::installer_panel, colr_label, 16, false},
};

}  // namespace

void BTN_frame1(int kind, float x, float y, float w, int colour) {
  const bar_kind* k = nullptr;
  for (const bar_kind& b : kBars)
    if (b.kind == kind) k = &b;
  if (!k) return bad_call("Bad BTN_frame1 call!", __LINE__);
  const atlas::bar& e = k->element;
  const float s0 = float(e.s0), h = float(e.height), cap = float(e.cap), high = float(e.high_from);
  const float W = 2 * R(w / 2) + k->extra;
  const float yc = y + mnw.origin_y + k->shift;
  const float left = R(x) + mnw.origin_x - W / 2;
  const float bottom = yc - h / 2, top = yc + h / 2;
  const float t0 = float(e.t0) * kAtlasTexel, t1 = float(e.t0 + e.height) * kAtlasTexel;
  const axis a{cap, high - cap, high, float(e.width) - high};
  const int tiles = int(std::trunc((W - 2 * cap) / (high - cap))) + 1;
  begin_frame(tex_slot_widgets, colour);
  tile(a, W, tiles, [&](const span& s) {
    quad(left + s.from, bottom, left + s.to, top, (s0 + s.atlas_from) * kAtlasTexel, t0,
         (s0 + s.atlas_to) * kAtlasTexel, t1);
  });
  glEnd();
}

void BTN_frame0(int kind, float x, float y, float len) {
  if (kind != frame_scroll_track) return bad_call("Bad BTN_frame0 call!", __LINE__);
  if (x != std::trunc(x)) return bad_call("BTN_frame0 non-int x_center!", __LINE__);
  if (y != std::trunc(y)) return bad_call("BTN_frame0 non-int y_center!", __LINE__);
  const float H = 2 * R(len / 2) + 8;
  const float bottom = y + mnw.origin_y - H / 2;
  const atlas::rect& e = atlas::scroll_track;
  const float half = float(e.width()) / 2, cap = float(atlas::scroll_track_cap);
  const float l = x - half + mnw.origin_x, r = x + half + mnw.origin_x;
  const float s0 = float(e.s0) * kAtlasTexel, s1 = float(e.s1) * kAtlasTexel, t_base = float(e.t0);
  const axis a{cap, float(e.height()) - 2 * cap, float(e.height()) - cap, cap};
  const int tiles = int(std::trunc((H - 2 * cap) / a.middle)) + 1;
  begin_frame(tex_slot_widgets, colr_white);
  tile(a, H, tiles, [&](const span& s) {
    quad(l, bottom + s.from, r, bottom + s.to, s0, (t_base + s.atlas_from) * kAtlasTexel, s1,
         (t_base + s.atlas_to) * kAtlasTexel);
  });
  glEnd();
}

void BTN_frame2(int kind, float x, float y, float w, float h, const std::string& title) {
  const box_kind* k = nullptr;
  for (const box_kind& b : kBoxes)
    if (b.kind == kind) k = &b;
  if (!k) return bad_call("Bad BTN_frame2 call!", __LINE__);
  const atlas::box& e = k->element;
  const float mx = float(e.mx), mb = float(e.mb), mt = float(e.mt);
  const float x0 = x + mnw.origin_x - mx, y0 = y + mnw.origin_y - mb;
  const bool menu = kind == frame_menu_list;
  const float W = menu ? w + 16 : w + 2 * mx, H = menu ? h + 15 : h + mb + mt;
  const float B = float(e.side), s0 = float(e.s0), t0 = float(e.t0);
  // The menu list has caps of its own; every other box takes its caps as
  // fractions of its element.
  const axis across = menu ? axis{20, 2, 22, 20} : axis{0.35f * B, 0.3f * B, 0.65f * B, 0.35f * B};
  const axis up = menu ? axis{26, 2, 28, 14} : axis{0.3f * B, 0.4f * B, 0.7f * B, 0.3f * B};
  const int columns = int(std::trunc((W - across.low - across.high) / across.middle)) + 1;
  const int r = int(std::trunc((H - up.low - up.high) / up.middle));
  const int rows = r >= 1 ? r + 1 : 1;
  const float texel =
      kind == frame_installer_panel ? 1.0f / float(atlas::kInstallerRowTexels) : kAtlasTexel;
  begin_frame(k->slot, colr_white);
  tile(up, H, rows, [&](const span& v) {
    tile(across, W, columns, [&](const span& u) {
      quad(x0 + u.from, y0 + v.from, x0 + u.to, y0 + v.to, (s0 + u.atlas_from) * texel,
           (t0 + v.atlas_from) * texel, (s0 + u.atlas_to) * texel, (t0 + v.atlas_to) * texel);
    });
  });
  glEnd();
  const float tx = k->centred ? x + w / 2 - OGL_string_width(title, charset_ui) / 2 : x + 10;
  OGL_string(k->title_colour, tx, y + h - k->title_drop, title, 9999, charset_ui, align_left);
  if (kind == frame_window && mnw.cur_window != wind_main &&
      !(mnw.cur_window >= wind_alert && mnw.cur_window <= wind_browse_b))
    BTN_zap_boxes(0);
}

// [SECTION] Windows, panels and close boxes

void BTN_fillwin(int active, int kind) {
  BTN_frame2(active ? frame_window : frame_window_idle, 0, 0, mnw.window_dx, mnw.window_dy,
             stls.window_title);
  if (kind == kFillwinBare) return;
  if (kind == frame_title_bar)
    BTN_frame1(frame_title_bar, mnw.window_dx * 0.5f, mnw.window_dy - 50, mnw.window_dx,
               colr_white);
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
  const atlas::rect& box = lit ? atlas::close_box_lit : atlas::close_box;
  BTN_atlas_quad(7, bottom, 25, top, box, colr_white);
  if (mnw.mouse_down && BTN_mouse_in(7, bottom, 25, top)) return 1;
  const float l = mnw.window_dx - 25;
  BTN_atlas_quad(l, bottom, l + 18, top, box, colr_white);
  return mnw.mouse_down && BTN_mouse_in(l, bottom, l + 18, top) ? 1 : 0;
}

// [SECTION] Tabs, dial and boxed string

int BTN_tab(int index, int row, int* current, int value, const std::string& label) {
  const float cx = 88.0f * float(index) + 53, cy = mnw.window_dy - 38 - 32.0f * float(row);
  int used = 0;
  // The hit box is narrower on the right than the drawn tab, as it always was.
  if (mnw.mouse_down && BTN_mouse_in(cx - 50, cy - 13, cx + 40, cy + 13)) {
    *current = value;
    used = 1;
  }
  const bool selected = *current == value;
  BTN_atlas_quad(cx - 49, cy - 13, cx + 49, cy + 13,
                 selected ? atlas::tab_selected : atlas::tab_other, colr_white);
  OGL_string(selected ? colr_widget_text : colr_tab_text, cx - 40, cy - 4, label, 9999, charset_ui,
             align_left);
  return used;
}

void plot_dir(float x, float y, float* heading, int alt) {
  // The needle turned by -heading about (x, y): its corners worked out here
  // rather than on the matrix stack, so the primitives add the window origin
  // as they do everywhere else.
  const float a = -*heading * degtorad, ca = std::cos(a), sa = std::sin(a);
  auto at = [&](float u, float v, float* px, float* py) {
    *px = x + u * ca - v * sa;
    *py = y + u * sa + v * ca;
  };
  float x1, y1, x2, y2, x3, y3, x4, y4;
  at(-5, -21, &x1, &y1);
  at(-5, 21, &x2, &y2);
  at(5, 21, &x3, &y3);
  at(5, -21, &x4, &y4);
  const atlas::rect& needle = alt ? atlas::dial_needle_alt : atlas::dial_needle;
  const float t0 = float(needle.t0) * kAtlasTexel, t1 = t0 + float(needle.height()) * kAtlasTexel;
  const float s0 = float(needle.s0) * kAtlasTexel, s1 = float(needle.s1) * kAtlasTexel;
  OGL_2dquad(tex_slot_widgets, colr_white, 1.0f, x1, y1, s0, t0, x2, y2, s0, t1, x3, y3, s1, t1, x4,
             y4, s1, t0, 1, 5);
  BTN_atlas_quad(x - 28, y - 29, x + 28, y + 29, atlas::dial_face, colr_white);
  OGL_number(colr_path_text, x - 14, y - 2, *heading, 3, 0, charset_fixed);
  if (mnw.mouse_held && std::fabs(mnw.mouse_x - x) <= 30 && std::fabs(mnw.mouse_y - y) <= 30) {
    float h = std::atan2(mnw.mouse_x - x, mnw.mouse_y - y) / degtorad;
    if (h < 0) h += 360;
    if (h >= 360) h -= 360;
    *heading = h;
  }
}

void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text,
                      int charset, int colour) {
  std::string left, right;
  BTN_expand_label(label, &left, &right, nullptr);
  float w = 100;
  if (charset == charset_fixed) w = 10.0f * float(text.size()) + 7;
  if (charset == charset_ui) w = OGL_string_width(text, charset_ui) + 7;
  BTN_frame1(frame_value_box, x, y + 3, w, colr_white);
  const float l = x - w / 2;
  BTN_util_draw_label(l - 8, y, 0, left, 0);
  BTN_util_draw_label(x + w / 2 + 8, y, 2, right, 0);
  OGL_string(colour, l + 4, y, text, 9999, charset, align_left);
}
