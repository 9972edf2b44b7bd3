// Label splitting and drawing, atlas elements and the mouse tests shared by
// every widget.
#include "widgets/labels.h"

#include <cstdlib>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"

void BTN_expand_label(const std::string& label, std::string* left, std::string* right,
                      std::string* help) {
  const size_t n = label.size();
  const size_t bar = label.rfind('|');
  const size_t brace = label.rfind('{');
  const bool has_bar = bar != std::string::npos;
  const size_t c = brace == std::string::npos ? n : brace;
  if (left) *left = label.substr(0, has_bar ? bar : c);
  if (right) *right = has_bar && bar < c ? label.substr(bar + 1, c - bar - 1) : std::string();
  if (help) *help = c + 2 <= n ? label.substr(c + 2) : std::string();
}

void BTN_util_draw_label(float x, float y, int align, const std::string& text, int highlight) {
  if (text.empty()) return;
  const bool dashed = text[0] == '-';
  std::string first = dashed ? text.substr(1) : text, second;
  const int n = static_cast<int>(text.size());
  if (align != 1 && n > (dashed ? 9999 : 12)) {
    const int half = n / 2;
    int k = -1;
    for (int i = 1; i < n; ++i) {
      const char ch = text[i];
      if (ch != ' ' && ch != '-' && ch != '/') continue;
      // Nearer to the middle than the start is, and strictly nearer than the
      // best so far (the earlier one wins a tie).
      const int d = std::abs(i - half);
      if (d < half && (k < 0 || d < std::abs(k - half))) k = i;
    }
    if (k >= 0 && k < n - 1) {
      first = text.substr(0, k);
      second = text.substr(k + 1);
      y += 5;
    }
  }
  // The text drawer counts its alignments the other way round.
  const int text_align = align == 0 ? align_right : align == 2 ? align_left : align_centre;
  const int colour = highlight ? colr_pulse_red : colr_label;
  OGL_string(colour, x, y, first, 9999, charset_ui, text_align);
  if (!second.empty()) OGL_string(colour, x, y - 10, second, 9999, charset_ui, text_align);
}

void BTN_atlas_quad(float l, float b, float r, float t, float s0, float t0, float s1, float t1,
                    int colour) {
  s0 *= kAtlasTexel, s1 *= kAtlasTexel, t0 *= kAtlasTexel, t1 *= kAtlasTexel;
  OGL_2dquad(tex_slot_widgets, colour, 1.0f, l, b, s0, t0, l, t, s0, t1, r, t, s1, t1, r, b, s1, t0,
             1, 5);
}

void BTN_atlas_quad(float l, float b, float r, float t, const atlas::rect& cell, int colour) {
  BTN_atlas_quad(l, b, r, t, float(cell.s0), float(cell.t0), float(cell.s1), float(cell.t1),
                 colour);
}

void BTN_util_element(float x, float y, float s, float t, float half_w, float half_h, int colour) {
  BTN_atlas_quad(x - half_w, y - half_h, x + half_w, y + half_h, s - half_w, t - half_h, s + half_w,
                 t + half_h, colour);
}

bool BTN_mouse_in(float l, float b, float r, float t) {
  return mnw.mouse_x >= l && mnw.mouse_x <= r && mnw.mouse_y >= b && mnw.mouse_y <= t;
}

bool BTN_clicked(float l, float b, float r, float t) {
  return mnw.open_menu == -1 && mnw.mouse_down && BTN_mouse_in(l, b, r, t);
}
