// The menu table and the pop-up slot that the pop-up selector fills.
#include "platform/menus.h"

menus_state g_menus;
std::vector<menu_struct>& menu = g_menus.menu;
float& m_x1 = g_menus.m_x1;
float& m_y1 = g_menus.m_y1;
float& m_x2 = g_menus.m_x2;
float& m_y2 = g_menus.m_y2;

// Menu files call it with 2 and add to what the table holds.
void MACIBM_clear_menus(int mode) {
  if (mode == 1) menu.assign(1520, menu_struct());
}

void MACIBM_fill_popup_slot(int l, int b, int r, int t, const std::vector<popup_row>& rows) {
  if (menu.size() <= kPopupMenuSlot) return;
  menu_struct& m = menu[kPopupMenuSlot];
  m.parent = -1;
  m.l = float(l), m.b = float(b), m.r = float(r), m.t = float(t);
  m.items.clear();
  for (const popup_row& row : rows) {
    menu_item item;
    item.text = row.text;
    item.l = float(row.l), item.b = float(row.b), item.r = float(row.r), item.t = float(row.t);
    m.items.push_back(item);
  }
}
