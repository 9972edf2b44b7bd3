// Number fields edited digit by digit, their wrappers, the character field
// and the read-only number box.
//
// Contents:
//   [SECTION] Layout shared by the fields
//   [SECTION] Float field and wrappers
//   [SECTION] Character field and number box
#include "widgets/number_fields.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/numbers.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "widgets/focus.h"
#include "widgets/frames.h"

// [SECTION] Layout shared by the fields

namespace {

// The fields' state: each kind's key queue and hot cell.
struct number_fields_state {
  BTN_key_queue flt_keys;
  int hot_digit = 0;
  BTN_key_queue chars_keys;
  int chars_hot = 0;
};
number_fields_state g_number_fields;

constexpr int kCell = 10;
// 2^24: from here on a float holds whole numbers only.
constexpr double kFloatWholeLimit = 16777216.0;
// Cursors the frame draws over the arrows: an up arrow and a down arrow.
constexpr int kCursorUp = 13, kCursorDown = 14;

// The value row of a field of n cells.
bool on_value_row(float x, float y, int n) {
  return BTN_mouse_in(x, y - 2, x + float(kCell * n), y + 8);
}

// Which half of the arrow band the mouse is in: the up arrows lie above the
// value, the down arrows below it.
bool above_value(float y) { return mnw.mouse_y > y + 3; }

void draw_arrows(float x, float y, int n) {
  for (int i = 0; i < n; ++i) {
    const float cx = x + float(kCell * i) + 6;
    BTN_atlas_quad(cx - 7, y - 19, cx + 7, y - 1, atlas::digit_down, colr_white);
    BTN_atlas_quad(cx - 7, y + 9, cx + 7, y + 27, atlas::digit_up, colr_white);
  }
}

// The value box of a field of n cells with the label's parts either side.
void draw_value_box(float x, float y, int n, const std::string& left, const std::string& right) {
  BTN_frame1(frame_value_box, x + float(5 * n) - 1, y + 3, float(kCell * n + 15), colr_white);
  BTN_util_draw_label(x - 12, y, 0, left, 0);
  BTN_util_draw_label(x + float(kCell * n) + 12, y, 2, right, 0);
}

void draw_focus_mark(float x, float y, int hot) {
  OGL_fillrect(colr_focus_fill, 1.0f, x + float(kCell * hot) + 2, y - 2, 9, 11);
}

int wrap(int i, int n) { return i < 0 ? n - 1 : i >= n ? 0 : i; }

// Left and right move the hot cell of n, wrapping at both ends; true when the
// key was one of them.
bool move_hot(int vkey, int* hot, int n) {
  if (vkey == VYKO_VK_LEFT)
    *hot = wrap(*hot - 1, n);
  else if (vkey == VYKO_VK_RIGHT)
    *hot = wrap(*hot + 1, n);
  else
    return false;
  return true;
}

// [SECTION] Float field and wrappers

constexpr BTN_key_queue& flt_keys = g_number_fields.flt_keys;
constexpr int& hot_digit = g_number_fields.hot_digit;

// The masks of the two kinds: the float field takes the page and arrow keys,
// digits and the signs; the character field every printable character too.
constexpr int kFltMask = accept_nav | accept_digits | accept_sign;
constexpr int kCharsMask =
    accept_nav | accept_letters | accept_digits | accept_sign | accept_printable;

// Types digit d into cell `cell` of the value. The digits come from the value
// scaled to a whole number and rounded, so a value held as 0.29999 in a float
// still shows, and is typed over, as 0.3.
void type_digit(float* value, int digits, int decimals, int cell, int d) {
  const int exponent = digits - cell - 1;
  const double scale = std::pow(10.0, decimals);
  const double scaled = std::fabs(double(*value)) * scale;
  if (exponent < 0 || exponent > 18 || !(scaled < 9e18)) return;
  int64_t v = std::llround(scaled);
  int64_t place = 1;
  for (int i = 0; i < exponent; ++i) place *= 10;
  v += (d - (v / place) % 10) * place;
  const double typed = double(v) / scale;
  *value = float(*value < 0 ? -typed : typed);
}

// Halves away from zero. Scaled in double: in float a large finite value
// times 10^decimals overflows to infinity. A value whose scaled magnitude
// reaches 2^24 has no float neighbours closer than one unit of its last
// decimal, so it already is as round as a float can be and stays as it is.
float round_to_decimals(float value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double scaled = double(value) * scale;
  if (!(std::fabs(scaled) < kFloatWholeLimit)) return value;
  return float(std::trunc(scaled + (scaled < 0 ? -0.5 : 0.5)) / scale);
}

int int_back(float f) {
  const double t = std::trunc(double(f));
  return static_cast<int>(std::clamp(t, double(INT_MIN), double(INT_MAX)));
}

}  // namespace

void BTN_reset_number_fields() { g_number_fields = number_fields_state(); }

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  const std::string& label) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  const int id = BTN_widget_id(x, y);
  const bool on_row = on_value_row(x, y, digits);
  if (on_row) stls.help_text = help;
  int ask = 0;
  if (mnw.open_menu == -1 && mnw.mouse_down && on_row) {
    hot_digit = static_cast<int>((mnw.mouse_x - 2 - x) / kCell);
    ask = 1;
  }
  const bool focused = flt_keys.register_focus(id, kFltMask, ask);
  // The hot digit is shared by every field: it must fit this one before a
  // key lands in it.
  if (focused) hot_digit = std::clamp(hot_digit, 0, std::max(digits - 1, 0));
  const double top_place = std::pow(10.0, digits - decimals - 1);
  auto place = [&](int cell) { return float(top_place / std::pow(10.0, cell)); };
  int changed = 0;
  flt_keys.drain(id, focused, [&](int c, int vkey, int) {
    if (digits < 1 || move_hot(vkey, &hot_digit, digits)) return;
    switch (vkey) {
      case VYKO_VK_UP:
        *value += place(hot_digit);
        changed = 1;
        return;
      case VYKO_VK_DOWN:
        *value -= place(hot_digit);
        changed = 1;
        return;
      default:
        break;
    }
    if (c >= '0' && c <= '9') {
      type_digit(value, digits, decimals, hot_digit, c - '0');
      hot_digit = wrap(hot_digit + 1, digits);
      changed = 1;
    } else if (c == '+' && min < 0) {
      *value = std::fabs(*value);
      changed = 1;
    } else if (c == '-' && max >= 0) {
      *value = -std::fabs(*value);
      changed = 1;
    }
  });
  if (mnw.open_menu == -1 && !on_row &&
      BTN_mouse_in(x, y - 18, x + float(kCell * digits), y + 24)) {
    const bool up = above_value(y);
    mnw.cursor_kind = up ? kCursorUp : kCursorDown;
    if (mnw.mouse_down) {
      // Cells share their borders: a press on one steps both.
      float p = float(std::pow(10.0, digits - 1) / std::pow(10.0, decimals));
      for (int i = 0; i < digits && i < 10; ++i, p /= 10) {
        if (mnw.mouse_x < x + float(kCell * i) || mnw.mouse_x > x + float(kCell * (i + 1)))
          continue;
        *value += up ? p : -p;
        changed = 1;
      }
    }
  }
  if (*value < min) *value = min;
  if (*value > max) *value = max;
  *value = round_to_decimals(*value, decimals);

  draw_value_box(x, y, digits, left, right);
  draw_arrows(x, y, digits);
  if (focused) draw_focus_mark(x, y, hot_digit);
  OGL_number(colr_path_text, x + 3, y, *value, digits, decimals, charset_fixed);
  return changed;
}

int BTN_int_range(float x, float y, int* value, int digits, float min, float max,
                  const std::string& label) {
  float f = float(*value);
  const int changed = BTN_flt_range(x, y, &f, digits, 0, min, max, label);
  *value = int_back(f);
  return changed;
}

int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  const std::string& label) {
  float f = float(*value);
  const int changed = BTN_flt_range(x, y, &f, digits, decimals, min, max, label);
  if (changed) *value = f;
  return changed;
}

float BTN_digits_top(int digits, int decimals) {
  // More than ten digits have no top: the field is bounded by the float.
  if (digits > 10) return FLT_MAX;
  if (digits < 1) return 0;
  return float((std::pow(10.0, digits) - 1) / std::pow(10.0, decimals));
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative,
            const std::string& label) {
  const float top = BTN_digits_top(digits, decimals);
  return BTN_flt_range(x, y, value, digits, decimals, allow_negative ? -top : 0, top, label);
}

int BTN_int(float x, float y, int* value, int digits, int allow_negative,
            const std::string& label) {
  float f = float(*value);
  const int changed = BTN_flt(x, y, &f, digits, 0, allow_negative, label);
  *value = int_back(f);
  return changed;
}

int BTN_fltij(float i, float j, float* value, int digits, int decimals, int allow_negative,
              const std::string& label) {
  return BTN_flt(75 * i + 75 - float(kCell * digits), 50 * j + 25, value, digits, decimals,
                 allow_negative, label);
}

int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    const std::string& label) {
  return BTN_flt_range(75 * i + 75 - float(kCell * digits), 50 * j + 25, value, digits, decimals,
                       min, max, label);
}

// [SECTION] Character field and number box

namespace {

constexpr BTN_key_queue& chars_keys = g_number_fields.chars_keys;
constexpr int& chars_hot = g_number_fields.chars_hot;

const char kSequence[] = " 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-";
constexpr int kSequenceLength = sizeof(kSequence) - 1;

// A character's place in the sequence: a small letter stands at its
// capital's, anything else at '0'.
int sequence_index(char c) {
  const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (int i = 0; i < kSequenceLength; ++i)
    if (kSequence[i] == up) return i;
  return 1;
}

void step_char(char* c, int step) {
  *c = kSequence[(sequence_index(*c) + step + kSequenceLength) % kSequenceLength];
}

}  // namespace

void BTN_chars(float x, float y, char* text, int n, const std::string& label) {
  std::string left, help;
  BTN_expand_label(label, &left, nullptr, &help);
  const int id = BTN_widget_id(x, y);
  const bool on_row = on_value_row(x, y, n);
  int ask = 0;
  if (mnw.open_menu == -1 && mnw.mouse_down && on_row) {
    chars_hot = static_cast<int>((mnw.mouse_x - x) / kCell);
    ask = 1;
  }
  const bool focused = chars_keys.register_focus(id, kCharsMask, ask);
  if (focused) chars_hot = std::clamp(chars_hot, 0, std::max(n - 1, 0));
  chars_keys.drain(id, focused, [&](int c, int vkey, int) {
    if (n < 1 || move_hot(vkey, &chars_hot, n)) return;
    switch (vkey) {
      case VYKO_VK_UP:
        step_char(&text[chars_hot], -1);
        return;
      case VYKO_VK_DOWN:
        step_char(&text[chars_hot], 1);
        return;
      default:
        break;
    }
    const unsigned char ch = static_cast<unsigned char>(c);
    if (!(std::isdigit(ch) || std::isalpha(ch) || ch == '-' || ch == ' ')) return;
    text[chars_hot] = static_cast<char>(std::toupper(ch));
    chars_hot = wrap(chars_hot + 1, n);
  });

  BTN_frame1(frame_value_box, x + float(5 * n) + 1, y + 3, float(kCell * n + 11), colr_white);
  draw_arrows(x, y, n);
  BTN_util_draw_label(x - 6, y, 0, left, 0);
  if (focused) draw_focus_mark(x, y, chars_hot);
  for (int i = 0; i < n; ++i) {
    const float l = x + float(kCell * i), r = l + kCell;
    OGL_string(colr_path_text, l + 2, y, std::string(1, text[i]), 9999, charset_ui, align_left);
    if (mnw.mouse_x < l || mnw.mouse_x > r) continue;
    if (BTN_mouse_in(l, y - 2, r, y + 8)) {
      stls.help_text = help;
    } else if (mnw.mouse_down && BTN_mouse_in(l, y - 18, r, y + 24)) {
      const bool up = above_value(y);
      mnw.cursor_kind = up ? kCursorUp : kCursorDown;
      step_char(&text[i], up ? -1 : 1);
    }
  }
}

void BTN_display_number(float x, float y, float value, int digits, int decimals,
                        const std::string& label) {
  std::string left, right;
  BTN_expand_label(label, &left, &right, nullptr);
  draw_value_box(x, y, digits, left, right);
  OGL_number(colr_path_text, x + 4, y, value, digits, decimals, charset_fixed);
}
