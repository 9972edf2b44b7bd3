// The keyboard focus ring. Widgets exist only while they are drawn, so the
// focus is held by a number: every widget that takes keys computes an id from
// its position, registers in the ring while it is drawn (drawing order is Tab
// order) and drains its own key queue there. Between frames the key handling
// hands every key to BTN_dispatch_to_focus, which moves the focus on Tab or
// queues the key for the focused widget when its accept mask takes it.
#pragma once

#include <vector>

#include "core/vkeys.h"

// What a widget takes, as its accept mask: tested first by virtual key, then
// by character (classes of the C locale).
enum focus_accept {
  accept_tab = 1,          // Tab as a key; without it Tab moves the focus
  accept_return = 2,       // Return and Enter
  accept_delete = 4,       // Backspace and forward Delete
  accept_escape = 8,       // Escape
  accept_nav = 16,         // Page Up and Down, End, Home, the arrows
  accept_letters = 32,     // A to Z, a to z
  accept_digits = 64,      // 0 to 9
  accept_sign = 128,       // + and -
  accept_printable = 256,  // any other printable character
  accept_other = 512,      // every other character, 0 included
};

// One entry of the ring.
struct focus_info_t {
  int id;
  int* chars;
  int* vkeys;
  int* flags;
  int* ids;  // the focus id current when each key was queued
  int* counter;
  int capacity;
  int mask;
};

// The focus ring's state; BTN_reset_focus puts it back as at start-up.
struct focus_state {
  std::vector<focus_info_t> focus_ring;
  // The id of the widget that has the keyboard focus; 0 none.
  int focus_id = 0;
  // A window, not a widget, claims the keyboard for this frame.
  int wind_focus = 0;
};
extern focus_state g_focus;
inline constexpr std::vector<focus_info_t>& focus_ring = g_focus.focus_ring;
inline constexpr int& focus_id = g_focus.focus_id;
inline constexpr int& wind_focus = g_focus.wind_focus;

// The focus id of a widget drawn at (x, y): y + 8192 x, both truncated.
int BTN_widget_id(float x, float y);

// Once per frame, before the application draws: empties the ring.
void BTN_begin_focus_ring();
// Appends an entry; grab non-zero takes the focus. Returns 1 when the widget
// has the focus afterwards: it edits only then.
int BTN_register_focus(int id, int* chars, int* vkeys, int* flags, int* ids, int* counter,
                       int capacity, int mask, int grab);
// One key event: 1 when it moved the focus or was queued, 0 when the caller
// must handle it. c is the character (0 with Command, Option or Control).
int BTN_dispatch_to_focus(int c, int vkey, int flags);
// Takes the keyboard focus from every widget.
void BTN_unfocus_any();
// Gives the focus to the first widget of the ring (none when it is empty).
void BTN_focus_any();
void BTN_window_has_focus();
int BTN_no_focus_yet();

// The key queue of one widget kind, shared by all its instances: the id slot
// tells them apart. Every queue joins the list BTN_flush_key_queues empties
// for as long as it lives; assigning one copies its keys, not its place in
// that list, so a widget's state that holds a queue resets by assignment.
struct BTN_key_queue {
  static constexpr int kCapacity = 64;
  int char_slot[kCapacity] = {};
  int vkey_slot[kCapacity] = {};
  int flag_slot[kCapacity] = {};
  int id_slot[kCapacity] = {};
  int ctr_slot = 0;

  BTN_key_queue();
  ~BTN_key_queue();
  BTN_key_queue(const BTN_key_queue&) = delete;
  BTN_key_queue& operator=(const BTN_key_queue& other);

  // Registers the widget in the ring with this queue; 1 when it is focused.
  int register_focus(int id, int mask, int grab);

  // Takes the widget's keys out of the queue: presses reach apply(c, vkey,
  // flags) only while the widget is focused, so a key typed for a field never
  // lands in another one drawn later under the same id; releases and keys
  // queued for a widget that has lost the focus are dropped. The counter
  // returns to 0 once nothing is left pending.
  template <typename Apply>
  void drain(int id, bool focused, Apply apply) {
    bool pending = false;
    for (int i = 0; i < ctr_slot && i < kCapacity; ++i) {
      const int owner = id_slot[i];
      if (owner == 0) continue;
      if (owner == id) {
        if (focused && !(flag_slot[i] & vyko_UpFlag) && (char_slot[i] || vkey_slot[i]))
          apply(char_slot[i], vkey_slot[i], flag_slot[i]);
        clear(i);
      } else if (owner != focus_id) {
        clear(i);
      } else {
        pending = true;  // another widget of this kind, drawn later this frame
      }
    }
    if (!pending) ctr_slot = 0;
  }

  void clear(int i) { char_slot[i] = vkey_slot[i] = flag_slot[i] = id_slot[i] = 0; }
  void flush();

 private:
  friend void BTN_flush_key_queues();
  // The list of live queues. The queues are statics of other files,
  // constructed in any order, so its head is a plain pointer: set before
  // any constructor runs.
  static BTN_key_queue* first_queue;
  BTN_key_queue* next_queue = nullptr;
};

// Empties every widget kind's queue: keys typed for one window never reach
// the next.
void BTN_flush_key_queues();
// Back to no focus, an empty ring and empty queues, as at start-up.
void BTN_reset_focus();
