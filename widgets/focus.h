// Keyboard focus of the widgets: at most one widget, known by its id, takes
// the keys.
#pragma once

// The focused widget's id; 0 when no widget has the focus.
extern int BTN_focus_id;

// Takes the keyboard focus away from every widget.
void BTN_unfocus_any();
