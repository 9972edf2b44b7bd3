// Push buttons, check boxes and radio items.
#include "widgets/buttons.h"

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "widgets/frames.h"

int BTN_action(float x, float y, float w, int is_on, int mode, const std::string& label,
               const std::string& note) {
  std::string left;
  BTN_expand_label(label, &left, nullptr, nullptr);
  if (w <= 0) w = OGL_string_width(label, charset_ui) + 21;
  BTN_frame1(frame_button, x, y, w, colr_white);
  if (is_on) BTN_frame1(frame_button_pressed, x, y, w, colr_white);
  BTN_util_draw_label(x, y - 3, 1, left, mode == 2 && is_on);
  if (note != "-")
    OGL_string(colr_path_text, x + w / 2 + 10, y + 7, note, 500, charset_ui, align_left);
  if (!BTN_clicked(x - w / 2, y - 10, x + w / 2, y + 10)) return 0;
  if (is_on || mode == 0) return 1;
  BTN_frame1(frame_button_pressed, x, y, w, colr_white);
  BTN_util_draw_label(x, y - 3, 1, left, 0);
  OGL_sbuff();
  return 1;
}

int BTN_bool(float x, float y, int* value, const std::string& label, int alt) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  int used = 0;
  if (mnw.open_menu == -1 && BTN_mouse_in(x - 8, y - 4, x + 8, y + 12)) {
    stls.help_text = help;
    if (mnw.mouse_down) {
      *value = *value == 0 ? 1 : 0;
      used = 1;
    }
  }
  // Drawn after the press, so a box shows what it holds from the frame it
  // was clicked on.
  const atlas::rect& box = alt ? atlas::radio_box : atlas::check_box;
  const atlas::rect& mark = alt ? atlas::radio_dot : atlas::check_tick;
  BTN_atlas_quad(x - 9, y - 6, x + 9, y + 12, box, colr_white);
  if (*value) BTN_atlas_quad(x - 9, y - 6, x + 9, y + 12, mark, colr_white);
  BTN_util_draw_label(x - 12, y, 0, left, 0);
  BTN_util_draw_label(x + 12, y, 2, right, 0);
  return used;
}

namespace {

// A check box over a temporary int, written back to the caller's type.
template <typename T, typename Back>
int bool_as(float x, float y, T* value, const std::string& label, Back back) {
  int v = static_cast<int>(*value);
  const int used = BTN_bool(x, y, &v, label, 0);
  *value = back(v);
  return used;
}

}  // namespace

int BTN_xbol(float x, float y, bool* value, const std::string& label) {
  return bool_as(x, y, value, label, [](int v) { return v != 0; });
}

int BTN_xchr(float x, float y, char* value, const std::string& label) {
  return bool_as(x, y, value, label, [](int v) { return static_cast<char>(v & 255); });
}

int BTN_xbyt(float x, float y, unsigned char* value, const std::string& label) {
  return bool_as(x, y, value, label, [](int v) { return static_cast<unsigned char>(v & 255); });
}

int BTN_is_int(float x, float y, int* var, int value, const std::string& label) {
  int on = *var == value ? 1 : 0;
  const int used = BTN_bool(x, y, &on, label, 1);
  if (on) *var = value;
  return used;
}
