// The menu table and the pop-up selector's codes.
#include "platform/menus.h"

std::vector<menu_struct> menu;
int popup_menu_select = 0, select_popup_code = 0, active_popup_code = 0;

// Menu files call it with 2 and add to what the table holds.
void MACIBM_clear_menus(int mode) {
  if (mode == 1) menu.assign(1520, menu_struct());
}
