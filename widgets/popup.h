// The pop-up selector: one choice out of a list of short texts shown in a
// box; a press opens the whole list as the shell's pop-up menu and the row
// the user picks becomes the selection. Selector and shell meet through the
// codes below.
#pragma once

#include <string>

// The shell's menu slot that holds an open selector's list.
constexpr int kPopupMenuSlot = 1519;

// The selectors' state, shared with the shell; BTN_reset_popup puts it back
// as at start-up.
struct popup_state {
  // Id of the selector whose list is open; 0 none.
  int active_popup_code = 0;
  // Id of the selector that is to take a choice; 0 none.
  int select_popup_code = 0;
  // Index of the row picked.
  int popup_menu_select = 0;
  // Id of the selector whose list a press outside it closed this frame, so
  // that the same press does not open it again; cleared at the start of
  // every frame.
  int popup_cancel_code = 0;
  // How many rows the open list is shifted to stay inside the window. It is
  // the selector's own, so the caller's value changes only on a choice.
  int popup_offset = 0;
};
extern popup_state g_popup;
inline constexpr int& active_popup_code = g_popup.active_popup_code;
inline constexpr int& select_popup_code = g_popup.select_popup_code;
inline constexpr int& popup_menu_select = g_popup.popup_menu_select;
inline constexpr int& popup_cancel_code = g_popup.popup_cancel_code;

// No list open, no choice pending.
void BTN_reset_popup();

// The selector's id at (x, y): y·1024 + x, truncated.
int BTN_popup_id(float x, float y);

// The most items a selector takes: a list of more ends the program.
constexpr int kPopupMaxItems = 300;

// A selector at (x, y) over the items separated by '-' ('|' is refused, as
// are more than kPopupMaxItems items); *selection is the chosen item's index. The
// label's left part stands before the box, its right part after it. Returns
// 1 on the frame a choice made in the list is stored in *selection.
int BTN_textlist(float x, float y, int* selection, const std::string& items,
                 const std::string& label);

// Element i of the std::vector<int> or std::vector<std::string> at v: the
// item callbacks of the searchable list.
int BTN_type_from_vector(int i, void* v);
std::string BTN_name_from_vector(int i, void* v);
