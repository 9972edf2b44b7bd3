// The framework's menu table: bar menus (parent -1), their submenus and the
// pop-up selector's borrowed slot 1519. Only the table and the calls the
// frame makes so far: reading menus from files and drawing them come later.
#pragma once

#include <string>
#include <vector>

struct menu_item {
  std::string text;
  int id = 0;
  float l = -1, b = -1, r = -1, t = -1;
};

struct menu_struct {
  std::string title;
  int parent = -2;  // -1 a bar menu, -2 an unused slot
  float l = -1, b = -1, r = -1, t = -1;
  std::vector<menu_item> items;
};

extern std::vector<menu_struct> menu;
// The pop-up selector's codes, written when one of its items is picked.
extern int popup_menu_select, select_popup_code, active_popup_code;

// Empties the table (keeping its 1,520 slots when full is set).
void MACIBM_clear_menus(int full);
// Draws the bar and the open menu.
void standard_gui();
