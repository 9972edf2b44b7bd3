// The searchable list: a scrolling list of rows drawn from the caller's
// getters, with a selected row, a scroll bar, the mouse wheel, click and
// double-click selection, the up and down keys and type-ahead search by row
// name; optionally a one-line text field below it.
#pragma once

#include <string>

#include "widgets/focus.h"

// The searchable list's state; BTN_reset_list puts it back as at start-up.
struct list_state {
  // The open/save panel's default list size, taken when a caller passes 0.
  float io_dx = 290, io_cx = 155, io_dy = 220, io_cy = 0;
  // What has been typed for the search, when last, and the list it was
  // typed in.
  std::string type_ahead;
  float last_type_ahead = -1.0f;
  int current_list_id = 0;
  BTN_key_queue list_keys;
};
extern list_state g_list;
inline constexpr float& io_dx = g_list.io_dx;
inline constexpr float& io_cx = g_list.io_cx;
inline constexpr float& io_dy = g_list.io_dy;
inline constexpr float& io_cy = g_list.io_cy;

// The default sizes, no search typed, no keys queued.
void BTN_reset_list();

// Rows first..last; *scroll is the row drawn at the list's vertical centre,
// *selection the selected row (both the caller's). slider_slot (0 to 3) is
// the scroll bar's. entry_text, detail_of and icon_of may be null. Returns 1
// on the frame a row was double-clicked.
int BTN_list_and_search(int slider_slot, float x, float y, float width, float height, int* scroll,
                        int* selection, int first, int last, std::string* entry_text,
                        const std::string& entry_label, std::string (*name_of)(int row, void* ref),
                        void* name_ref, std::string (*detail_of)(int row, void* ref),
                        void* detail_ref, int (*icon_of)(int row, void* ref), void* icon_ref);
