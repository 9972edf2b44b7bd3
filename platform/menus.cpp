// The menu table, the pop-up slot that the selector fills, and the drawing
// of the open menu.
#include "platform/menus.h"

#include <algorithm>

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "widgets/frames.h"

std::vector<menu_struct> menu;
float m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;

void MACIBM_clear_menus(int full) { menu.assign(full ? 1520 : 0, menu_struct()); }

void MACIBM_fill_popup_slot(int l, int b, int r, int t, const std::vector<popup_row>& rows) {
  if (menu.size() <= kPopupMenuSlot) return;
  menu_struct& m = menu[kPopupMenuSlot];
  m.parent = -1;
  m.l = float(l), m.b = float(b), m.r = float(r), m.t = float(t);
  m.items.clear();
  for (const popup_row& row : rows) {
    item_struct item;
    item.text = row.text;
    item.l = float(row.l), item.b = float(row.b), item.r = float(row.r), item.t = float(row.t);
    m.items.push_back(item);
  }
}

namespace {

bool choosable(const item_struct& item) {
  return !item.text.empty() && item.text[0] != '-' && item.text[0] != '=';
}

}  // namespace

void standard_gui() {
  if (mnw.open_menu < 0 || mnw.open_menu >= static_cast<int>(menu.size())) return;
  const int open = mnw.open_menu;
  const menu_struct& m = menu[open];
  m_x1 = m_y1 = 9999;
  m_x2 = m_y2 = 0;
  const item_struct* hovered = nullptr;
  bool any = false;
  for (const item_struct& item : m.items) {
    if (item.text.empty()) continue;
    any = true;
    m_x1 = std::min(m_x1, item.l);
    m_x2 = std::max(m_x2, item.r);
    m_y1 = std::min(m_y1, item.b - 2);
    m_y2 = std::max(m_y2, item.t + 2);
    // One unit less at the top than a click takes, so two touching rows
    // never both light.
    if (choosable(item) && BTN_mouse_in(item.l, item.b, item.r, item.t - 1)) hovered = &item;
  }
  // A list with no text at all draws nothing, not an empty box at the corner.
  if (!any) {
    m_x1 = m_y1 = m_x2 = m_y2 = 0;
    return;
  }
  BTN_frame2(frame_menu_list, m_x1, m_y1, m_x2 - m_x1, m_y2 - m_y1, "");
  if (m.parent == -1 && open != kPopupMenuSlot)
    OGL_fillrect(colr_frame_fill, 0.25f, m.l, m.b, m.r - m.l, m.t - m.b);
  if (hovered)
    OGL_fillrect(colr_frame_fill, 0.25f, hovered->l, hovered->b, hovered->r - hovered->l,
                 hovered->t - hovered->b);
  for (size_t i = 1; i < m.items.size(); ++i) {
    const item_struct& item = m.items[i];
    if (item.text.empty() || item.l == m.items[i - 1].l) continue;
    OGL_line(colr_bevel_dark, 1.0f, item.l - 1, m_y1 - 1, item.l - 1, m_y2);
    OGL_line(colr_bevel_light, 1.0f, item.l, m_y2, item.l, m_y1 - 1);
  }
  for (const item_struct& item : m.items) {
    if (item.text.empty()) continue;
    if (item.text[0] == '-') {
      OGL_line(colr_bevel_dark, 1.0f, item.l, item.b + 1, item.r - 1, item.b + 1);
      OGL_line(colr_bevel_light, 1.0f, item.l, item.b, item.r - 1, item.b);
      continue;
    }
    const float indent = open == kPopupMenuSlot ? 3 : 18;
    OGL_string(colr_menu_text, item.l + indent, item.b + 3, item.text, 9999,
               item.multibyte ? charset_grid : charset_ui, align_left);
  }
  for (const menu_struct& sub : menu)
    if (sub.parent == open) BTN_util_element(sub.r - 8, sub.b + 6, 167, 187, 9, 9, colr_white);
}
