// The keyboard focus ring: registration while widgets draw, the hand-off of
// key events to the focused widget's queue, and the queues themselves.
#include "widgets/focus.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>

#include "core/globals.h"

focus_state g_focus;
BTN_key_queue* BTN_key_queue::first_queue = nullptr;

namespace {

// The mask bit a key needs: by virtual key first, then by character.
int needed_bit(int c, int vkey) {
  switch (vkey) {
    case VYKO_VK_TAB:
      return accept_tab;
    case VYKO_VK_RETURN:
    case VYKO_VK_ENTER:
      return accept_return;
    case VYKO_VK_BACK:
    case VYKO_VK_DELETE:
      return accept_delete;
    case VYKO_VK_ESCAPE:
      return accept_escape;
    default:
      break;
  }
  if (vkey >= VYKO_VK_PRIOR && vkey <= VYKO_VK_DOWN) return accept_nav;
  const unsigned char ch = static_cast<unsigned char>(c);
  if (ch == '+' || ch == '-') return accept_sign;
  if (ch >= '0' && ch <= '9') return accept_digits;
  if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z')) return accept_letters;
  if (std::isprint(ch)) return accept_printable;
  return accept_other;
}

int focus_first() {
  if (focus_ring.empty()) return 0;
  focus_id = focus_ring.front().id;
  return 1;
}

}  // namespace

int BTN_widget_id(float x, float y) {
  // Wrapping arithmetic: the shift of a negative x is what the ids always
  // were, without shifting a negative int.
  const uint32_t xi = static_cast<uint32_t>(static_cast<int>(x));
  const uint32_t yi = static_cast<uint32_t>(static_cast<int>(y));
  return static_cast<int>(yi + (xi << 13));
}

void BTN_begin_focus_ring() {
  focus_ring.clear();
  wind_focus = 0;
}

int BTN_register_focus(int id, int* chars, int* vkeys, int* flags, int* ids, int* counter,
                       int capacity, int mask, int grab) {
  focus_ring.push_back({id, chars, vkeys, flags, ids, counter, capacity, mask});
  if (grab) focus_id = id;
  return focus_id == id ? 1 : 0;
}

int BTN_dispatch_to_focus(int c, int vkey, int flags) {
  if (mnw.cur_window == wind_alert) return 0;
  const bool tab = vkey == VYKO_VK_TAB;
  const bool release = (flags & vyko_UpFlag) != 0;
  if (focus_id == 0) return tab && !release ? focus_first() : 0;
  int p = 0;
  const int n = static_cast<int>(focus_ring.size());
  while (p < n && focus_ring[p].id != focus_id) ++p;
  if (p == n) {
    // The focused widget was not drawn last frame.
    focus_id = 0;
    return tab && !release ? focus_first() : 0;
  }
  const focus_info_t& e = focus_ring[p];
  if (tab && !(e.mask & accept_tab)) {
    if (release) return 0;
    p += (flags & vyko_ShiftFlag) ? -1 : 1;
    p = (p % n + n) % n;
    focus_id = focus_ring[p].id;
    return 1;
  }
  if (!(e.mask & needed_bit(c, vkey))) return 0;
  const int i = *e.counter;
  // A full queue refuses the key rather than writing past its arrays.
  if (i < 0 || i >= e.capacity) return 0;
  e.chars[i] = c;
  e.vkeys[i] = vkey;
  e.flags[i] = flags;
  e.ids[i] = focus_id;
  *e.counter = i + 1;
  return 1;
}

void BTN_unfocus_any() { focus_id = 0; }

void BTN_focus_any() { focus_id = focus_ring.empty() ? 0 : focus_ring.front().id; }

void BTN_window_has_focus() { wind_focus = 1; }

int BTN_no_focus_yet() { return !wind_focus && focus_id == 0 ? 1 : 0; }

BTN_key_queue::BTN_key_queue() : next_queue(first_queue) { first_queue = this; }

BTN_key_queue::~BTN_key_queue() {
  for (BTN_key_queue** at = &first_queue; *at; at = &(*at)->next_queue)
    if (*at == this) {
      *at = next_queue;
      break;
    }
}

BTN_key_queue& BTN_key_queue::operator=(const BTN_key_queue& other) {
  std::copy(std::begin(other.char_slot), std::end(other.char_slot), char_slot);
  std::copy(std::begin(other.vkey_slot), std::end(other.vkey_slot), vkey_slot);
  std::copy(std::begin(other.flag_slot), std::end(other.flag_slot), flag_slot);
  std::copy(std::begin(other.id_slot), std::end(other.id_slot), id_slot);
  ctr_slot = other.ctr_slot;
  return *this;
}

int BTN_key_queue::register_focus(int id, int mask, int grab) {
  return BTN_register_focus(id, char_slot, vkey_slot, flag_slot, id_slot, &ctr_slot, kCapacity,
                            mask, grab);
}

void BTN_key_queue::flush() {
  for (int i = 0; i < kCapacity; ++i) clear(i);
  ctr_slot = 0;
}

void BTN_flush_key_queues() {
  for (BTN_key_queue* q = BTN_key_queue::first_queue; q; q = q->next_queue) q->flush();
}

void BTN_reset_focus() {
  g_focus = focus_state();
  BTN_flush_key_queues();
}
