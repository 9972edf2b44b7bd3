// The framework's menu table: bar menus (parent -1), their submenus and the
// pop-up selector's borrowed slot 1519. Building menus, reading them from
// menu files and drawing them are in platform/menu_bar.cpp.
#pragma once

#include <string>
#include <vector>

#include "widgets/hooks.h"
#include "widgets/popup.h"

struct menu_item {
  std::string text;
  int id = 0;
  float l = -1, b = -1, r = -1, t = -1;
  // Drawn with the two-byte font (Korean menus).
  unsigned char multibyte = 0;
};

struct menu_struct {
  std::string title;
  int parent = -2;  // -1 a bar menu, -2 an unused slot
  float l = -1, b = -1, r = -1, t = -1;
  std::vector<menu_item> items;
};

// The menu module's state: the table, the left edge of the next bar title,
// and the frame around the open menu's items as last drawn. reset() leaves
// an empty table, as before MACIBM_clear_menus(1).
struct menus_state {
  std::vector<menu_struct> menu;
  float next_title_x = 0;
  float m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;

  void reset() { *this = menus_state(); }
};
extern menus_state g_menus;
extern std::vector<menu_struct>& menu;

// Mode 1 makes the table exactly 1,520 unused slots; other modes keep it.
void MACIBM_clear_menus(int mode);
// Draws the bar and the open menu, over everything else of the frame.
void standard_gui();
// Fills the pop-up slot with a selector's list: its box and its rows.
void MACIBM_fill_popup_slot(int l, int b, int r, int t, const std::vector<popup_row>& rows);

// Slot n becomes unused: no title, no items, never hit.
void MACIBM_clear_menu(int n);
void MACIBM_clear_items(int n);
// Fills slot n: a bar menu (parent code 0) placed after the previous one, or
// a submenu opened by item (code mod 300) of menu (code / 300).
void MACIBM_create_menu(int n, int parent_code, std::string title);
// Sets item i of slot n ("-" first: a separator; "=" first: not choosable).
// plain keeps the item in the one-byte font in Korean too.
void MACIBM_append_menu(int n, int i, int id, std::string text, int plain);
void MACIBM_remove_menu_item(int n, int i);
// Builds menus from the menu file of the current language under folder.
void MACIBM_read_menus(std::string folder, std::string file);
// Width of a menu text in window units.
float menu_dx(std::string text);
int accept_menu(int n);
int accept_item(int i);
// The frame around the open menu's items, as last drawn.
extern float &m_x1, &m_y1, &m_x2, &m_y2;
