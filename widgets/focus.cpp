// The keyboard focus: the id of the one widget that takes the keys.
#include "widgets/focus.h"

int BTN_focus_id = 0;

void BTN_unfocus_any() { BTN_focus_id = 0; }

// No widget registers in the ring yet, so the ring stays empty and no
// widget takes a key: every key goes on to the window handling.
void BTN_begin_focus_ring() {}

int BTN_dispatch_to_focus(int /*c*/, int /*vkey*/, int /*flags*/) {
  // A focus whose widget was not drawn in the last frame is dropped.
  BTN_focus_id = 0;
  return 0;
}
