// The pop-up selector and its handshake with the shell's pop-up menu slot.
#include "widgets/popup.h"

#include <algorithm>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/text.h"
#include "widgets/frames.h"
#include "widgets/hooks.h"

popup_state g_popup;
widget_hooks g_widget_hooks;

namespace {

constexpr int kRow = 12;

constexpr int& popup_offset = g_popup.popup_offset;

// The items between the '-'s; false, after the alert that ends the
// program, for a '|' or more than kPopupMaxItems items.
bool split_items(const std::string& items, std::vector<std::string>* list) {
  if (items.find('|') != std::string::npos) {
    MACIBM_alert(wind_main, "Found | char in text string!", "", "", "", t_exit);
    return false;
  }
  list->assign(1, "");
  for (char c : items) {
    if (c != '-') {
      list->back() += c;
      continue;
    }
    if (list->size() >= size_t(kPopupMaxItems)) {
      MACIBM_alert(wind_main, "BTN_text_list overflow!", "", "", "", t_exit);
      return false;
    }
    list->emplace_back();
  }
  return true;
}

}  // namespace

void BTN_reset_popup() { g_popup = popup_state(); }

int BTN_popup_id(float x, float y) { return static_cast<int>(y * 1024 + x); }

int BTN_textlist(float x, float y, int* selection, const std::string& items,
                 const std::string& label) {
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  std::vector<std::string> list;
  if (!split_items(items, &list)) return 0;
  const int last = static_cast<int>(list.size()) - 1;
  if (*selection > last) *selection = last;
  // A negative selection shows the first item; the value itself is the
  // caller's.
  const int shown = std::max(*selection, 0);

  int maxw = 0;
  for (const std::string& item : list)
    maxw = std::max(maxw, static_cast<int>(OGL_string_width(item, charset_ui)));
  const float half = float(maxw) / 2;
  BTN_frame1(frame_popup_box, x + 10, y + 5, float(maxw + 28), colr_white);
  BTN_util_draw_label(x - half - 5, y, 0, left, 0);
  BTN_util_draw_label(x + half + 25, y, 2, right, 0);
  const bool in_box = BTN_mouse_in(x + 10 - half - 15, y - 2, x + 10 + half + 15, y + 8);

  const int id = BTN_popup_id(x, y);
  if (mnw.mouse_down && id != active_popup_code && in_box && id != popup_cancel_code) {
    active_popup_code = id;
    popup_offset = 0;
  }
  int chosen = 0;
  if (select_popup_code == id) {
    *selection = popup_menu_select;
    select_popup_code = 0;
    chosen = 1;
  }
  if (active_popup_code != id) {
    OGL_string(colr_menu_text, x, y, list[std::min(std::max(*selection, 0), last)], 9999,
               charset_ui, align_centre);
    if (in_box) stls.help_text = help;
    return chosen;
  }

  // The list is open: rows run downwards 12 units each, the selected one
  // level with the box.
  mnw.open_menu = kPopupMenuSlot;
  const int anchor = std::clamp(shown + popup_offset, 0, last);
  const int l = static_cast<int>(x - half) - 2, r = static_cast<int>(x + half) + 4;
  const int b = static_cast<int>(y - float(kRow * (last - anchor)));
  std::vector<popup_row> rows;
  rows.reserve(list.size());
  int lowest = 384, highest = 384;
  for (int i = 0; i <= last; ++i) {
    const float rb = y - 3 - float(kRow * (i - anchor));
    rows.push_back({list[i], l, static_cast<int>(rb), r, static_cast<int>(rb + kRow)});
    lowest = std::min(lowest, rows.back().b);
    highest = std::max(highest, rows.back().t);
  }
  // One row a frame back into the window.
  if (lowest < 0 && anchor < last) ++popup_offset;
  if (highest > mnw.pixel_dy && anchor > 0) --popup_offset;
  g_widget_hooks.fill_popup(l, b, r, b + kRow + kRow * last, rows);
  return chosen;
}

int BTN_type_from_vector(int i, void* v) { return (*static_cast<std::vector<int>*>(v))[i]; }

std::string BTN_name_from_vector(int i, void* v) {
  return (*static_cast<std::vector<std::string>*>(v))[i];
}
