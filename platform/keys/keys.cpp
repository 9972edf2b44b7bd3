// Key bindings and the tables behind key translation: the virtual keys'
// names, the layout characters and hardware key codes that give virtual
// keys, and the characters that typing a key gives.
//
// Contents:
//   [SECTION] Tables
//   [SECTION] One key event
//   [SECTION] Bindings
//   [SECTION] Edits of the key-assignment window
//   [SECTION] Key and flag names
#include "platform/keys/keys.h"

#include <strings.h>

#include <cstdio>

#include "core/commands.h"
#include "core/globals.h"
#include "platform/frame.h"
#include "platform/keys/sdl_keys.h"
#include "widgets/focus.h"

keys_class keys;

// [SECTION] Tables

#define VK_ROW(vkey, suffix, display) \
  { vkey, "VYKO_VK_" suffix, display }

const key_name_row kKeyNameTable[111] = {
    VK_ROW(8, "BACK", "Backspace"),
    VK_ROW(9, "TAB", "Tab"),
    VK_ROW(12, "CLEAR", "Clear"),
    VK_ROW(13, "RETURN", "Return"),
    VK_ROW(27, "ESCAPE", "Escape"),
    VK_ROW(32, "SPACE", "Space"),
    VK_ROW(33, "PRIOR", "PageUp"),
    VK_ROW(34, "NEXT", "PageDown"),
    VK_ROW(35, "END", "End"),
    VK_ROW(36, "HOME", "Home"),
    VK_ROW(37, "LEFT", "Left"),
    VK_ROW(38, "UP", "Up"),
    VK_ROW(39, "RIGHT", "Right"),
    VK_ROW(40, "DOWN", "Down"),
    VK_ROW(41, "SELECT", "Select"),
    VK_ROW(42, "PRINT", "Print"),
    VK_ROW(43, "EXECUTE", "Execute"),
    VK_ROW(44, "SNAPSHOT", "Snapshot"),
    VK_ROW(45, "INSERT", "Insert"),
    VK_ROW(46, "DELETE", "Delete"),
    VK_ROW(47, "HELP", "Help"),
    VK_ROW(48, "0", "0"),
    VK_ROW(49, "1", "1"),
    VK_ROW(50, "2", "2"),
    VK_ROW(51, "3", "3"),
    VK_ROW(52, "4", "4"),
    VK_ROW(53, "5", "5"),
    VK_ROW(54, "6", "6"),
    VK_ROW(55, "7", "7"),
    VK_ROW(56, "8", "8"),
    VK_ROW(57, "9", "9"),
    VK_ROW(65, "A", "A"),
    VK_ROW(66, "B", "B"),
    VK_ROW(67, "C", "C"),
    VK_ROW(68, "D", "D"),
    VK_ROW(69, "E", "E"),
    VK_ROW(70, "F", "F"),
    VK_ROW(71, "G", "G"),
    VK_ROW(72, "H", "H"),
    VK_ROW(73, "I", "I"),
    VK_ROW(74, "J", "J"),
    VK_ROW(75, "K", "K"),
    VK_ROW(76, "L", "L"),
    VK_ROW(77, "M", "M"),
    VK_ROW(78, "N", "N"),
    VK_ROW(79, "O", "O"),
    VK_ROW(80, "P", "P"),
    VK_ROW(81, "Q", "Q"),
    VK_ROW(82, "R", "R"),
    VK_ROW(83, "S", "S"),
    VK_ROW(84, "T", "T"),
    VK_ROW(85, "U", "U"),
    VK_ROW(86, "V", "V"),
    VK_ROW(87, "W", "W"),
    VK_ROW(88, "X", "X"),
    VK_ROW(89, "Y", "Y"),
    VK_ROW(90, "Z", "Z"),
    VK_ROW(96, "NUMPAD0", "Numpad-0"),
    VK_ROW(97, "NUMPAD1", "Numpad-1"),
    VK_ROW(98, "NUMPAD2", "Numpad-2"),
    VK_ROW(99, "NUMPAD3", "Numpad-3"),
    VK_ROW(100, "NUMPAD4", "Numpad-4"),
    VK_ROW(101, "NUMPAD5", "Numpad-5"),
    VK_ROW(102, "NUMPAD6", "Numpad-6"),
    VK_ROW(103, "NUMPAD7", "Numpad-7"),
    VK_ROW(104, "NUMPAD8", "Numpad-8"),
    VK_ROW(105, "NUMPAD9", "Numpad-9"),
    VK_ROW(106, "MULTIPLY", "Numpad-*"),
    VK_ROW(107, "ADD", "Numpad-+"),
    VK_ROW(109, "SUBTRACT", "Numpad--"),
    VK_ROW(110, "DECIMAL", "Numpad-."),
    VK_ROW(111, "DIVIDE", "Numpad-/"),
    VK_ROW(112, "F1", "F1"),
    VK_ROW(113, "F2", "F2"),
    VK_ROW(114, "F3", "F3"),
    VK_ROW(115, "F4", "F4"),
    VK_ROW(116, "F5", "F5"),
    VK_ROW(117, "F6", "F6"),
    VK_ROW(118, "F7", "F7"),
    VK_ROW(119, "F8", "F8"),
    VK_ROW(120, "F9", "F9"),
    VK_ROW(121, "F10", "F10"),
    VK_ROW(122, "F11", "F11"),
    VK_ROW(123, "F12", "F12"),
    VK_ROW(124, "F13", "F13"),
    VK_ROW(125, "F14", "F14"),
    VK_ROW(126, "F15", "F15"),
    VK_ROW(127, "F16", "F16"),
    VK_ROW(128, "F17", "F17"),
    VK_ROW(129, "F18", "F18"),
    VK_ROW(130, "F19", "F19"),
    VK_ROW(131, "F20", "F20"),
    VK_ROW(132, "F21", "F21"),
    VK_ROW(133, "F22", "F22"),
    VK_ROW(134, "F23", "F23"),
    VK_ROW(135, "F24", "F24"),
    VK_ROW(176, "EQUAL", "="),
    VK_ROW(177, "MINUS", "-"),
    VK_ROW(178, "RBRACE", "]"),
    VK_ROW(179, "LBRACE", "["),
    VK_ROW(180, "QUOTE", "'"),
    VK_ROW(181, "SEMICOLON", ";"),
    VK_ROW(182, "BACKSLASH", "\\"),
    VK_ROW(183, "COMMA", ","),
    VK_ROW(184, "SLASH", "/"),
    VK_ROW(185, "PERIOD", "."),
    VK_ROW(186, "BACKQUOTE", "`"),
    VK_ROW(187, "ENTER", "Enter"),
    VK_ROW(188, "NUMPAD_ENT", "Numpad-Enter"),
    VK_ROW(189, "NUMPAD_EQ", "Numpad-="),
    {0, nullptr, nullptr},
};

#undef VK_ROW

// Searched in order: the full stop stands twice, the first one wins.
const mac_mapping_row kMacMappings[39] = {
    {13, 13},  {9, 9},     {46, 185}, {32, 32},   {'a', 65},  {'b', 66},  {'c', 67},  {'d', 68},
    {'e', 69}, {'f', 70},  {'g', 71}, {'h', 72},  {'i', 73},  {'j', 74},  {'k', 75},  {'l', 76},
    {'m', 77}, {'n', 78},  {'o', 79}, {'p', 80},  {'q', 81},  {'r', 82},  {'s', 83},  {'t', 84},
    {'u', 85}, {'v', 86},  {'w', 87}, {'x', 88},  {'y', 89},  {'z', 90},  {']', 178}, {'[', 179},
    {39, 180}, {';', 181}, {92, 182}, {',', 183}, {'/', 184}, {'.', 185}, {96, 186},
};

namespace {

// Hardware key code -> virtual key, for keys the layout does not name.
constexpr std::array<unsigned char, 256> make_key_map() {
  constexpr unsigned char pairs[][2] = {
      {0, VYKO_VK_A},          {1, VYKO_VK_S},          {2, VYKO_VK_D},
      {3, VYKO_VK_F},          {4, VYKO_VK_H},          {5, VYKO_VK_G},
      {6, VYKO_VK_Z},          {7, VYKO_VK_X},          {8, VYKO_VK_C},
      {9, VYKO_VK_V},          {10, VYKO_VK_BACKSLASH}, {11, VYKO_VK_B},
      {12, VYKO_VK_Q},         {13, VYKO_VK_W},         {14, VYKO_VK_E},
      {15, VYKO_VK_R},         {16, VYKO_VK_Y},         {17, VYKO_VK_T},
      {18, VYKO_VK_1},         {19, VYKO_VK_2},         {20, VYKO_VK_3},
      {21, VYKO_VK_4},         {22, VYKO_VK_6},         {23, VYKO_VK_5},
      {24, VYKO_VK_EQUAL},     {25, VYKO_VK_9},         {26, VYKO_VK_7},
      {27, VYKO_VK_MINUS},     {28, VYKO_VK_8},         {29, VYKO_VK_0},
      {30, VYKO_VK_RBRACE},    {31, VYKO_VK_O},         {32, VYKO_VK_U},
      {33, VYKO_VK_LBRACE},    {34, VYKO_VK_I},         {35, VYKO_VK_P},
      {36, VYKO_VK_RETURN},    {37, VYKO_VK_L},         {38, VYKO_VK_J},
      {39, VYKO_VK_QUOTE},     {40, VYKO_VK_K},         {41, VYKO_VK_SEMICOLON},
      {42, VYKO_VK_BACKSLASH}, {43, VYKO_VK_COMMA},     {44, VYKO_VK_SLASH},
      {45, VYKO_VK_N},         {46, VYKO_VK_M},         {47, VYKO_VK_PERIOD},
      {48, VYKO_VK_TAB},       {49, VYKO_VK_SPACE},     {50, VYKO_VK_BACKQUOTE},
      {51, VYKO_VK_BACK},      {52, VYKO_VK_ENTER},     {53, VYKO_VK_ESCAPE},
      {65, VYKO_VK_DECIMAL},   {67, VYKO_VK_MULTIPLY},  {69, VYKO_VK_ADD},
      {71, VYKO_VK_CLEAR},     {75, VYKO_VK_DIVIDE},    {76, VYKO_VK_NUMPAD_ENT},
      {78, VYKO_VK_SUBTRACT},  {81, VYKO_VK_NUMPAD_EQ}, {82, VYKO_VK_NUMPAD0},
      {83, VYKO_VK_NUMPAD1},   {84, VYKO_VK_NUMPAD2},   {85, VYKO_VK_NUMPAD3},
      {86, VYKO_VK_NUMPAD4},   {87, VYKO_VK_NUMPAD5},   {88, VYKO_VK_NUMPAD6},
      {89, VYKO_VK_NUMPAD7},   {91, VYKO_VK_NUMPAD8},   {92, VYKO_VK_NUMPAD9},
      {96, VYKO_VK_F5},        {97, VYKO_VK_F6},        {98, VYKO_VK_F7},
      {99, VYKO_VK_F3},        {100, VYKO_VK_F8},       {101, VYKO_VK_F9},
      {103, VYKO_VK_F11},      {109, VYKO_VK_F10},      {111, VYKO_VK_F12},
      {115, VYKO_VK_HOME},     {116, VYKO_VK_PRIOR},    {117, VYKO_VK_DELETE},
      {118, VYKO_VK_F4},       {119, VYKO_VK_END},      {120, VYKO_VK_F2},
      {121, VYKO_VK_NEXT},     {122, VYKO_VK_F1},       {123, VYKO_VK_LEFT},
      {124, VYKO_VK_RIGHT},    {125, VYKO_VK_DOWN},     {126, VYKO_VK_UP},
  };
  std::array<unsigned char, 256> map{};
  for (const auto& p : pairs) map[p[0]] = p[1];
  return map;
}

}  // namespace

const std::array<unsigned char, 256> vyko_Key_Map = make_key_map();

// Row 0 (Return) is answered before the search, which starts at row 1.
const ascii_translation_row kAsciiTranslations[104] = {
    {13, 13, 0},   {27, 27, 0},   {9, 9, 0},     {8, 8, 0},     {28, 37, 0},   {29, 39, 0},
    {30, 38, 0},   {31, 40, 0},   {' ', 32, 0},  {'!', 49, 1},  {'"', 180, 1}, {'#', 51, 1},
    {'$', 52, 1},  {'%', 53, 1},  {'&', 55, 1},  {39, 180, 0},  {'(', 57, 1},  {')', 48, 1},
    {'*', 56, 1},  {'+', 176, 1}, {',', 183, 0}, {'-', 177, 0}, {'.', 185, 0}, {'/', 184, 0},
    {'0', 48, 0},  {'1', 49, 0},  {'2', 50, 0},  {'3', 51, 0},  {'4', 52, 0},  {'5', 53, 0},
    {'6', 54, 0},  {'7', 55, 0},  {'8', 56, 0},  {'9', 57, 0},  {':', 181, 1}, {';', 181, 0},
    {'<', 183, 1}, {'=', 176, 0}, {'>', 185, 1}, {'?', 184, 1}, {'@', 50, 1},  {'A', 65, 1},
    {'B', 66, 1},  {'C', 67, 1},  {'D', 68, 1},  {'E', 69, 1},  {'F', 70, 1},  {'G', 71, 1},
    {'H', 72, 1},  {'I', 73, 1},  {'J', 74, 1},  {'K', 75, 1},  {'L', 76, 1},  {'M', 77, 1},
    {'N', 78, 1},  {'O', 79, 1},  {'P', 80, 1},  {'Q', 81, 1},  {'R', 82, 1},  {'S', 83, 1},
    {'T', 84, 1},  {'U', 85, 1},  {'V', 86, 1},  {'W', 87, 1},  {'X', 88, 1},  {'Y', 89, 1},
    {'Z', 90, 1},  {'[', 179, 0}, {92, 182, 0},  {']', 178, 0}, {'^', 54, 1},  {'_', 177, 1},
    {96, 186, 0},  {'a', 65, 0},  {'b', 66, 0},  {'c', 67, 0},  {'d', 68, 0},  {'e', 69, 0},
    {'f', 70, 0},  {'g', 71, 0},  {'h', 72, 0},  {'i', 73, 0},  {'j', 74, 0},  {'k', 75, 0},
    {'l', 76, 0},  {'m', 77, 0},  {'n', 78, 0},  {'o', 79, 0},  {'p', 80, 0},  {'q', 81, 0},
    {'r', 82, 0},  {'s', 83, 0},  {'t', 84, 0},  {'u', 85, 0},  {'v', 86, 0},  {'w', 87, 0},
    {'x', 88, 0},  {'y', 89, 0},  {'z', 90, 0},  {'{', 179, 1}, {'|', 182, 1}, {'}', 178, 1},
    {'~', 186, 1}, {0, 0, 0},
};

// [SECTION] One key event

namespace {

bool is_return(int vkey) { return vkey == VYKO_VK_RETURN || vkey == VYKO_VK_ENTER; }

}  // namespace

void keys_class::handle_key_raw(long kind, long message, long modifiers) {
  const int key_code = static_cast<int>((message >> 8) & 0xFF);
  int flags = 0;
  if (modifiers & key_mod_shift) flags |= vyko_ShiftFlag;
  if (modifiers & key_mod_option) flags |= vyko_OptionAltFlag;
  if (modifiers & key_mod_control) flags |= vyko_ControlFlag;
  if (kind == key_event_down) flags |= vyko_DownFlag;
  if (kind == key_event_up) flags |= vyko_UpFlag;
  const bool chorded = modifiers & (key_mod_command | key_mod_option | key_mod_control);
  const int c = chorded ? 0 : static_cast<int>(message & 0xFF);

  int vkey = PLAT_layout_vkey(key_code);
  if (vkey == 0) vkey = vyko_Key_Map[key_code];
  if (flags == 0 && c == 0 && vkey == 0) return;
  if (BTN_dispatch_to_focus(c, vkey, flags)) return;

  if (!(flags & vyko_UpFlag)) {
    if (is_return(vkey)) return_hit = 1;
    if (vkey == VYKO_VK_ESCAPE) escape_hit = 1;
    if (vkey == VYKO_VK_DELETE || vkey == VYKO_VK_BACK) delete_hit = 1;
    if (mnw.cur_window != wind_main && return_hit) {
      MACIBM_handleclick(1);
      return;
    }
    if (c) mnw.key_char = c;
  }
  last_vkey = vkey;
  last_flags = flags & vyko_ModifierFlags;
  // The open/save browser's window runs no bindings.
  if (mnw.cur_window == wind_browse_b) return;
  handle_key(0, vkey, flags);
}

// [SECTION] Bindings

void keys_class::handle_key(int, int vkey, int flags) {
  if (!is_return(vkey) && (mnw.keys_blocked || vkey == 0)) return;
  execute_key_cmnd(vkey, flags);
}

void keys_class::execute_key_cmnd(int vkey, int flags) {
  for (key_binding& b : bindings) {
    if (b.vkey != vkey) continue;
    if (b.flags == (flags & vyko_ModifierFlags) && (flags & vyko_DownFlag)) {
      cmnd.press_one(b.command);
      b.held = 1;
    }
    if (b.held && (flags & vyko_UpFlag)) {
      cmnd.release_one(b.command);
      b.held = 0;
    }
  }
}

void keys_class::run_repeat_keys() {
  for (const key_binding& b : bindings)
    if (b.held) cmnd.press_always(b.command);
}

int keys_class::key_bound_to(int vkey, int flags) const {
  for (const key_binding& b : bindings)
    if (b.vkey == vkey && b.flags == flags) return b.command;
  return 0;
}

void keys_class::keys_io(int mode) {
  if (mode != 0) return;
  if (bindings.empty()) bindings.emplace_back();
  for (size_t i = 1; i < bindings.size(); ++i) release_if_held(bindings[i]);
  bindings.resize(1);
  key_binding& b = bindings[0];
  release_if_held(b);
  b.vkey = default_commands[0].default_key;
  b.flags = default_commands[0].default_flags;
  b.command = cmnd.get_cmnd_by_name(default_commands[0].path);
}

void keys_class::release_if_held(key_binding& b) {
  if (!b.held) return;
  cmnd.release_one(b.command);
  b.held = 0;
}

// [SECTION] Edits of the key-assignment window

void keys_class::reset() {
  bindings.clear();
  edits_.clear();
  last_vkey = last_flags = 0;
  wind_ = wind_state();
  PLAT_key_reset();
}

void keys_class::add_binding() { edits_.push_back({-1, 0, 0, 0, edit::add}); }

void keys_class::assign_key(int index, int vkey, int flags) {
  edits_.push_back({index, vkey, flags & vyko_ModifierFlags, 0, edit::key});
}

void keys_class::assign_command(int index, int command) {
  edits_.push_back({index, 0, 0, command, edit::command_of});
}

void keys_class::apply_edits() {
  std::vector<edit> todo;
  todo.swap(edits_);
  for (const edit& e : todo) {
    if (e.what == edit::add) {
      key_binding b;
      b.command = cmnd.get_cmnd_by_name("sim/operation/none");
      bindings.push_back(b);
      continue;
    }
    // An index from a frame before the table changed may be stale.
    if (e.index < 0 || e.index >= static_cast<int>(bindings.size())) continue;
    key_binding& target = bindings[e.index];
    if (e.what == edit::command_of) {
      if (e.command < 0 || e.command >= static_cast<int>(cmnd.path.size())) continue;
      release_if_held(target);
      target.command = e.command;
      continue;
    }
    for (size_t i = 0; i < bindings.size(); ++i) {
      key_binding& other = bindings[i];
      if (static_cast<int>(i) == e.index || other.vkey != e.vkey || other.flags != e.flags)
        continue;
      release_if_held(other);
      other.vkey = other.flags = 0;
    }
    release_if_held(target);
    target.vkey = e.vkey;
    target.flags = e.flags;
  }
}

// [SECTION] Key and flag names

namespace {

const key_name_row* name_row(int vkey) {
  for (const key_name_row* r = kKeyNameTable; r->code; ++r)
    if (r->vkey == vkey) return r;
  return nullptr;
}

std::string join_flags(int flags, const char* const names[3], const char* none) {
  std::string out;
  for (int bit = 0; bit < 3; ++bit) {
    if (!(flags & (1 << bit))) continue;
    if (!out.empty()) out += '+';
    out += names[bit];
  }
  return out.empty() ? none : out;
}

}  // namespace

std::string keys_class::vkey_to_str(int vkey) {
  const key_name_row* r = name_row(vkey);
  return r ? r->display : "<none>";
}

std::string keys_class::vkey_to_code(int vkey) {
  const key_name_row* r = name_row(vkey);
  if (r) return r->code;
  char buf[16];
  snprintf(buf, sizeof buf, "%d", vkey);
  return buf;
}

std::string keys_class::flag_to_str(int flags) {
  static const char* const names[3] = {"SHIFT", "ALT", "CTRL"};
  return join_flags(flags, names, "<none>");
}

std::string keys_class::flag_to_code(int flags) {
  static const char* const names[3] = {"vyko_ShiftFlag", "vyko_OptionAltFlag", "vyko_ControlFlag"};
  return join_flags(flags, names, "0");
}

int keys_class::str_to_vkey(const std::string& name) {
  for (const key_name_row* r = kKeyNameTable; r->code; ++r)
    if (strcasecmp(r->display, name.c_str()) == 0) return r->vkey;
  return 0;
}

int keys_class::str_to_flag(const std::string& text) {
  int flags = 0;
  if (text.find("SHIFT") != std::string::npos) flags |= vyko_ShiftFlag;
  if (text.find("ALT") != std::string::npos) flags |= vyko_OptionAltFlag;
  if (text.find("CTRL") != std::string::npos) flags |= vyko_ControlFlag;
  return flags;
}

int keys_class::ascii_to_vkey(int c, int& vkey, int& flags) {
  if (c == mac_return) {
    vkey = VYKO_VK_RETURN;
    flags = 0;
    return 1;
  }
  for (const ascii_translation_row* r = kAsciiTranslations + 1; r->character; ++r) {
    if (r->character != c) continue;
    vkey = r->vkey;
    flags = r->flags;
    return 1;
  }
  vkey = flags = 0;
  return 0;
}

std::string keys_class::get_key_for_cmnd(int command) const {
  for (const key_binding& b : bindings) {
    if (b.command != command) continue;
    std::string key = vkey_to_str(b.vkey);
    if (!key.empty() && key[0] >= 'A' && key[0] <= 'Z') key[0] = static_cast<char>(key[0] + 32);
    return b.flags ? flag_to_str(b.flags) + "-" + key : key;
  }
  return "";
}
