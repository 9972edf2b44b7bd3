// The searchable list: a scrolling list of rows drawn from the caller's
// getters, with a selected row, a scroll bar, the mouse wheel, click and
// double-click selection, the up and down keys and type-ahead search by row
// name; optionally a one-line text field below it.
#pragma once

#include <string>

// The open/save panel's default list size, taken when a caller passes 0.
extern float io_dx, io_cx, io_dy, io_cy;

// Rows first..last; *scroll is the row drawn at the list's vertical centre,
// *selection the selected row (both the caller's). slider_slot (0 to 3) is
// the scroll bar's. entry_text, detail_of and icon_of may be null. Returns 1
// on the frame a row was double-clicked.
int BTN_list_and_search(int slider_slot, float x, float y, float width, float height, int* scroll,
                        int* selection, int first, int last, std::string* entry_text,
                        const std::string& entry_label, std::string (*name_of)(int row, void* ref),
                        void* name_ref, std::string (*detail_of)(int row, void* ref),
                        void* detail_ref, int (*icon_of)(int row, void* ref), void* icon_ref);
