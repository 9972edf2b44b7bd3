// Push buttons, check boxes and radio buttons: each call draws the widget at
// its place in the current window, tests this frame's press against it and
// returns 1 on the frame it was used.
#pragma once

#include <string>

// A push button centred on (x, y); w 0 or less fits it to the label. With a
// non-zero mode a press on a button that is not on shows it pressed at once
// (the frame ends there) so the look is on screen while the caller acts;
// mode 2 lights the label of a button that is on. note, unless "-", is drawn
// to the right of the button.
int BTN_action(float x, float y, float w, int is_on, int mode, const std::string& label,
               const std::string& note);
// A check box (alt 0) or radio button (alt non-zero) that toggles *value.
int BTN_bool(float x, float y, int* value, const std::string& label, int alt);
// Check boxes over a bool, a signed and an unsigned char.
int BTN_xbol(float x, float y, bool* value, const std::string& label);
int BTN_xchr(float x, float y, char* value, const std::string& label);
int BTN_xbyt(float x, float y, unsigned char* value, const std::string& label);
// A radio button of the group sharing *var; a press selects value.
int BTN_is_int(float x, float y, int* var, int value, const std::string& label);
