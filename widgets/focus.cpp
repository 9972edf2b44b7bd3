// The keyboard focus: the id of the one widget that takes the keys.
#include "widgets/focus.h"

int BTN_focus_id = 0;

void BTN_unfocus_any() { BTN_focus_id = 0; }
