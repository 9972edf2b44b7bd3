// Push buttons, check boxes and radio items: drawn and hit-tested in the
// frame they are called.
#include "widgets/buttons.h"

#include "core/globals.h"
#include "draw/text.h"
#include "widgets/frames.h"

namespace {
// A click counts when no menu is open, the button went down this frame and
// the mouse lies inside the box, edges included.
bool clicked(float l, float b, float r, float t) {
  return mnw.open_menu == -1 && mnw.mouse_down && BTN_mouse_in(l, b, r, t);
}

std::string left_part(const std::string& label) {
  size_t cut = label.find_first_of("|{");
  return label.substr(0, cut);
}
}  // namespace

int BTN_action(float x, float y, float w, int is_on, int /*mode*/, const std::string& label,
               const std::string& note) {
  if (w <= 0) w = OGL_string_width(label, 100) + 21;
  BTN_frame1(2, x, y, w, 0);
  if (is_on) BTN_frame1(3, x, y, w, 0);
  OGL_string(is_on ? 80 : 41, x, y - 3, left_part(label), 0, 100, 1);
  if (note != "-") OGL_string(45, x + w / 2 + 10, y + 7, note, 500, 100, 0);
  return clicked(x - w / 2, y - 10, x + w / 2, y + 10) ? 1 : 0;
}

int BTN_bool(float x, float y, int* value, const std::string& label, int /*alt*/) {
  BTN_frame2(*value ? 43 : 36, x - 9, y + 3 - 9, 18, 18, "");
  OGL_string(41, x + 12, y,
             label.substr(label.find('|') == std::string::npos ? 0 : label.find('|') + 1), 0, 100,
             0);
  if (clicked(x - 8, y - 4, x + 8, y + 12)) {
    *value = *value ? 0 : 1;
    return 1;
  }
  return 0;
}

int BTN_is_int(float x, float y, int* var, int value, const std::string& label) {
  int on = *var == value ? 1 : 0;
  int r = BTN_bool(x, y, &on, label, 1);
  if (on) *var = value;
  return r;
}
