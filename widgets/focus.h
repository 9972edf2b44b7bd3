// Keyboard focus of the widgets: at most one widget, known by its id, takes
// the keys.
#pragma once

// The focused widget's id; 0 when no widget has the focus.
extern int BTN_focus_id;

// Takes the keyboard focus away from every widget.
void BTN_unfocus_any();
// Starts the frame's focus ring: focusable widgets register again as they
// are drawn. Called by the frame after its events, before anything draws.
void BTN_begin_focus_ring();
// Offers a key event (character, virtual key, flags) to the focused widget;
// 1 when a widget took it, 0 when the caller handles it itself.
int BTN_dispatch_to_focus(int c, int vkey, int flags);
