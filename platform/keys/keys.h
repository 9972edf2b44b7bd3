// Key translation and key bindings. Every key event of the window system
// arrives here once as a Mac-style key message (kind, message, modifiers),
// becomes a virtual key, a character and flags, is offered to the widgets'
// focus ring, sets the frame's Return/Escape/Delete flags, and finally runs
// the bindings: a virtual key with modifier flags bound to a named command.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/vkeys.h"

// Kinds of key message.
enum key_event_kind { key_event_down = 3, key_event_up = 4, key_event_repeat = 5 };

// Modifier bits of a key message, where the window system puts them.
enum key_modifier_bit {
  key_mod_command = 1 << 8,
  key_mod_shift = 1 << 9,
  key_mod_caps_lock = 1 << 10,
  key_mod_option = 1 << 11,
  key_mod_control = 1 << 12,
};

// A key message: the hardware key code in bits 8..15, the character (one
// Latin-1 byte) in the low byte.
inline long key_message(int key_code, int character) {
  return (static_cast<long>(key_code & 0xFF) << 8) | (character & 0xFF);
}

struct key_binding {
  int vkey = 0;
  int flags = 0;    // modifier flags, 0..7
  int command = 0;  // index into the command table
  int held = 0;     // its key is down after a matching press
};

class keys_class {
 public:
  void handle_key_raw(long kind, long message, long modifiers);
  // Runs the bindings of one key event: a matching press presses the
  // command, a key-up of the key releases it whatever the modifiers.
  void execute_key_cmnd(int vkey, int flags);
  // The binding step alone; the first argument is not used.
  void handle_key(int, int vkey, int flags);
  // Once per frame: every held binding presses its command again.
  void run_repeat_keys();
  // The command of the first binding of exactly that key and flags; 0 none.
  int key_bound_to(int vkey, int flags) const;
  // 0 resets the table to the one default binding; 1 saves it, and there is
  // no bindings file to save to, so it writes nothing.
  void keys_io(int mode);
  // "SHIFT+CTRL-a", "f1": the key of the command's first binding, or "".
  std::string get_key_for_cmnd(int command) const;

  static std::string vkey_to_str(int vkey);
  static std::string vkey_to_code(int vkey);
  static std::string flag_to_str(int flags);
  static std::string flag_to_code(int flags);
  static int str_to_vkey(const std::string& name);
  static int str_to_flag(const std::string& text);
  static int ascii_to_vkey(int c, int& vkey, int& flags);
  void debug() {}

  // Changes the key-assignment window asks for. They take effect in
  // apply_edits, which the frame calls before it pumps events, so the table
  // never changes while a key event or the window walks it.
  void add_binding();
  // The binding takes the key; every other binding with the same key and
  // flags loses it (one key, one binding).
  void assign_key(int index, int vkey, int flags);
  void assign_command(int index, int command);
  void apply_edits();

  // The contents of the key-assignment window, drawn once per frame by the
  // window's owner after MACIBM_event_proc: the bindings on the left, the
  // command tree on the right. It changes the table only through the edits
  // above.
  void keys_wind();

  // Back to start-up: no bindings, no edits waiting, the window unscrolled
  // with nothing selected, and no key half-way through its translation.
  void reset();

  int last_vkey = 0;   // the last event that went past the focus ring
  int last_flags = 0;  // its modifier flags
  std::vector<key_binding> bindings;

 private:
  struct edit {
    int index, vkey, flags, command;
    enum { add, key, command_of } what;
  };
  // A held binding that changes is released first, or no key-up would
  // ever end it.
  void release_if_held(key_binding& b);
  std::vector<edit> edits_;

  // What the key-assignment window keeps from frame to frame.
  struct wind_state {
    int k_change = -1;  // the binding being edited; -1 none
    int k_cen = 0;      // the first binding shown
    float y1 = 30, y2 = 686;
    std::string group;     // the command folder browsed
    int browsed_for = -1;  // the binding the browser was set up for
  };
  wind_state wind_;

  // The steps of keys_wind: the list of bindings with its add button and
  // slider (a press selects a row), and the command browser for the
  // selected binding, its groups on the left and their entries on the right.
  void list_bindings(float column);
  void browse_commands(float left, float right);
  // true when a group was picked.
  bool browse_groups(float x);
  // The sub-folder opened, or "".
  std::string browse_entries(float x, const std::string& path);
};

extern keys_class keys;

// The tables of the translation, as the key names and the bindings use them.
struct key_name_row {
  int vkey;
  const char* code;     // "VYKO_VK_" and a suffix
  const char* display;  // "PageUp", "Numpad-Enter"
};
struct mac_mapping_row {
  unsigned char character, vkey;
};
struct ascii_translation_row {
  int character, vkey, flags;
};
extern const key_name_row kKeyNameTable[111];  // ended by a row of zeros
extern const mac_mapping_row kMacMappings[39];
extern const std::array<unsigned char, 256> vyko_Key_Map;
extern const ascii_translation_row kAsciiTranslations[104];  // ended by a zero row

// The virtual key the current keyboard layout gives the hardware key code,
// or 0 when the layout has none in the mappings (the hardware key map then
// stands in).
int PLAT_layout_vkey(int key_code);
