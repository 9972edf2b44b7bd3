// Push buttons, check boxes and radio buttons: drawn and hit-tested every
// frame; each returns 1 on the frame it was used. The atlas look comes with
// the widget toolkit.
#pragma once

#include <string>

// A push button centred on (x, y); w 0 fits it to the label.
int BTN_action(float x, float y, float w, int is_on, int mode, const std::string& label,
               const std::string& note);
// A check box (alt 0) or radio button (alt non-zero) bound to *value.
int BTN_bool(float x, float y, int* value, const std::string& label, int alt);
// A radio button of the group sharing *var; selects value.
int BTN_is_int(float x, float y, int* var, int value, const std::string& label);
