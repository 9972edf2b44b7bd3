// The framework's menu table: bar menus (parent -1), their submenus and slot
// 1519, which the pop-up selector borrows for its list. Here: the table, the
// pop-up slot and the drawing of the open menu's items; the bar itself and
// menus read from files come with the bar menus.
#pragma once

#include <string>
#include <vector>

#include "widgets/hooks.h"
#include "widgets/popup.h"

struct item_struct {
  std::string text;  // '-' first: a separator; '=' first: shown, not chosen; empty: neither
  int id = 0;
  int multibyte = 0;  // drawn with the grid font
  float l = -1, b = -1, r = -1, t = -1;
};

struct menu_struct {
  std::string title;
  int parent = -2;  // -1 a bar menu, -2 an unused slot
  float l = -1, b = -1, r = -1, t = -1;
  std::vector<item_struct> items;
};

// The slot of the pop-up selector's list.
constexpr int kPopupMenuSlot = 1519;

extern std::vector<menu_struct> menu;
// The frame around the open menu's items, recomputed every frame.
extern float m_x1, m_y1, m_x2, m_y2;

// Empties the table (keeping its 1,520 slots when full is set).
void MACIBM_clear_menus(int full);
// Fills the pop-up slot with a selector's list: its box and its rows.
void MACIBM_fill_popup_slot(int l, int b, int r, int t, const std::vector<popup_row>& rows);
// Draws the open menu's items on top of the frame.
void standard_gui();
