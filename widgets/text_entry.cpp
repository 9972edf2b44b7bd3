// The one-line text field on the text-edit engine.
#include "widgets/text_entry.h"

#include <algorithm>
#include <cstring>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/text.h"
#include "draw/viewport.h"
#include "Files/io_utils.h"
#include "text_edit/ogle_field.h"
#include "widgets/focus.h"
#include "widgets/frames.h"

namespace {

// What the engine's line starts were laid out for. A layout measures the
// whole text, so a focused field lays out again only when its text or its
// width changed since, not every frame.
struct field_layout {
  const OGLE_Rec* rec = nullptr;
  std::string text;
  int width = -1;
  long count = 0;  // layouts made, for the tests
};

// The fields' state: the one editing record, the field it last served, the
// fields' key queue and what the record's lines were laid out for.
struct text_entry_state {
  OGLE_Rec* ogle = nullptr;
  int focused_field_id = 0;
  BTN_key_queue field_keys;
  field_layout laid_out;
};
text_entry_state g_text_entry;
constexpr OGLE_Rec*& ogle = g_text_entry.ogle;
constexpr int& focused_field_id = g_text_entry.focused_field_id;
constexpr BTN_key_queue& field_keys = g_text_entry.field_keys;
constexpr field_layout& laid_out = g_text_entry.laid_out;

void lay_out() {
  OGLE_Repaginate(ogle);
  laid_out.rec = ogle;
  laid_out.text = *OGLE_input;
  laid_out.width = OGLE_entry_dx;
  ++laid_out.count;
}

// Whether the line starts still belong to the field's text and width: its
// owner may have changed the string since the last frame.
bool layout_current() {
  return laid_out.rec == ogle && laid_out.width == OGLE_entry_dx && laid_out.text == *OGLE_input;
}

constexpr int kFieldMask =
    accept_delete | accept_nav | accept_letters | accept_digits | accept_sign | accept_printable;

int text_length() { return static_cast<int>(OGLE_input->size()); }

// Home and End select to or move to the text's ends; with shift they extend
// from the selection's other end.
void jump(int pos, int shift) {
  int s = 0, e = 0;
  OGLE_GetSelection(ogle, &s, &e);
  const int anchor = ogle->caret_at_end ? s : e;
  OGLE_SetSelection(ogle, shift ? anchor : pos, pos);
  ogle->caret_at_end = !shift || pos >= anchor ? 1 : 0;
  ogle->desired_x = -1.0f;
  OGLE_RevealSelection(ogle);
}

// One key for the focused field. The engine knows only Backspace and the
// arrows; forward Delete, Home and End are done here, control bytes never
// reach the text, and a character that would pass max_len is refused.
void apply_key(int c, int vkey, int flags, int max_len) {
  const int shift = flags & vyko_ShiftFlag;
  switch (vkey) {
    case VYKO_VK_LEFT:
      return OGLE_Key(ogle, mac_left, shift);
    case VYKO_VK_RIGHT:
      return OGLE_Key(ogle, mac_right, shift);
    case VYKO_VK_UP:
      return OGLE_Key(ogle, mac_up, shift);
    case VYKO_VK_DOWN:
      return OGLE_Key(ogle, mac_down, shift);
    case VYKO_VK_BACK:
      return OGLE_Key(ogle, mac_back, 0);
    case VYKO_VK_DELETE: {
      int s = 0, e = 0;
      OGLE_GetSelection(ogle, &s, &e);
      if (s == e && e >= text_length()) return;
      if (s == e) OGLE_SetSelection(ogle, s, s + 1);
      return OGLE_Key(ogle, mac_back, 0);
    }
    case VYKO_VK_HOME:
      return jump(0, shift);
    case VYKO_VK_END:
      return jump(text_length(), shift);
    case VYKO_VK_PRIOR:
    case VYKO_VK_NEXT:
      return;
    default:
      break;
  }
  const unsigned char ch = static_cast<unsigned char>(c);
  if (ch < 32 || ch == 127) return;
  int s = 0, e = 0;
  OGLE_GetSelection(ogle, &s, &e);
  if (text_length() - (e - s) + 1 > max_len) return;
  OGLE_Key(ogle, static_cast<char>(ch), shift);
}

}  // namespace

void BTN_reset_text_entry() {
  OGLE_Destroy(ogle);
  g_text_entry = text_entry_state();
  OGLE_reset_field();
}

int BTN_enterstring(float x, float y, std::string* text, int max_len, const std::string& label,
                    float width, int grab) {
  const int id = BTN_widget_id(x, y);
  if (!ogle) ogle = OGLE_Create(&OGLE_cbs, nullptr);
  const bool clicked = BTN_clicked(x, y, x + width, y + 8);
  const int want = clicked || (grab && !wind_focus && focus_id == 0) ? 1 : 0;
  const bool focused = field_keys.register_focus(id, kFieldMask, want) != 0;
  OGLE_edit = 0;
  if (focused) {
    OGLE_input = text;
    OGLE_entry_dx = static_cast<int>(width);
    OGLE_y = static_cast<int>(y);
    OGLE_x = static_cast<int>(x);
    if (id != focused_field_id) {
      OGLE_dx = OGLE_dy = 0;
      if (!clicked) OGLE_SetSelection(ogle, 0, text_length());
      lay_out();
    } else if (!layout_current()) {
      lay_out();
    }
    focused_field_id = id;
    // Setting the selection again clamps it to a text the owner may have
    // shortened since.
    int s = 0, e = 0;
    OGLE_GetSelection(ogle, &s, &e);
    OGLE_SetSelection(ogle, s, e);
    if (mnw.mouse_down)
      OGLE_Click(ogle, mnw.mouse_x, mnw.mouse_y, 0);
    else if (mnw.mouse_held)
      OGLE_Drag(ogle, mnw.mouse_x, mnw.mouse_y);
  }
  field_keys.drain(id, focused,
                   [&](int c, int vkey, int flags) { apply_key(c, vkey, flags, max_len); });
  // An edit by the engine laid the text out itself.
  if (OGLE_edit) laid_out.text = *text;

  std::string left, right;
  BTN_expand_label(label, &left, &right, nullptr);
  BTN_frame1(frame_value_box, x + width * 0.5f - 2, y + 3, width + 10, colr_white);
  BTN_util_draw_label(x - 12, y, 0, left, 0);
  BTN_util_draw_label(x + width + 6, y, 2, right, 0);
  OGL_scissors(x - 1, y - 3, width + 2, 11);
  if (focused)
    OGLE_Draw(ogle, 1);
  else
    OGL_string(colr_path_text, x, y, *text, 9999, charset_ui, align_left);
  OGL_scissors_end();
  // Only a text the owner set can be too long: keys never make it so.
  if (OGLE_edit && text_length() > max_len) {
    text->resize(size_t(std::max(max_len, 0)));
    lay_out();
  }
  return OGLE_edit;
}

long BTN_text_layouts() { return laid_out.count; }

int BTN_enterstring(float x, float y, char* text, int max_len, const std::string& label,
                    float width, int grab) {
  if (max_len < 1) return 0;
  std::string s(text, strnlen(text, size_t(max_len)));
  const int changed = BTN_enterstring(x, y, &s, max_len - 1, label, width, grab);
  // The buffer keeps room for its terminating zero.
  if (s.size() > size_t(max_len - 1)) s.resize(size_t(max_len - 1));
  check_path_length(s);
  memcpy(text, s.c_str(), s.size() + 1);
  return changed;
}
