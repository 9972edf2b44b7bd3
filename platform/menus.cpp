// The menu table and its per-frame drawing; reading menu files comes with
// the menus themselves.
#include "platform/menus.h"

std::vector<menu_struct> menu;
int popup_menu_select = 0, select_popup_code = 0, active_popup_code = 0;

void MACIBM_clear_menus(int full) { menu.assign(full ? 1520 : 0, menu_struct()); }

void standard_gui() {}
