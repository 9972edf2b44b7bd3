// The framework's own menus: building bar menus, submenus and their items,
// reading them from the menu files of each language, and drawing the open
// one over the frame. Clicks reach them through MACIBM_handleclick.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "draw/font_widths.h"
#include "draw/prims.h"
#include "draw/render_state.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "platform/menus.h"
#include "widgets/atlas_layout.h"
#include "widgets/frames.h"

namespace {

// [SECTION] Sizes and checks

constexpr int kItemsPerMenu = 300;
constexpr int kKorean = 6;
constexpr float kBarHeight = 18;

// Where the alerts of the menus say they come from.
constexpr const char* kSource = "mnw";

bool korean() { return mnw.lang == kKorean; }

bool slot_exists(int n) { return n >= 0 && n < static_cast<int>(menu.size()); }

// A misuse of the menu table ends the program: the message, two empty
// lines and the text concerned.
[[noreturn]] void menu_misuse(const char* message, const std::string& text, int line) {
  __MACIBM_alert(wind_main, message, "", "", text.c_str(), t_exit, kSource, line);
  // The alert of this type never returns; the shell's handler ends the run.
  abort();
}

float row_height(const menu_item& item) {
  if (!item.text.empty() && item.text[0] == '-') return 2;
  return item.multibyte ? 14 : 12;
}

bool choosable(const menu_item& item) {
  return !item.text.empty() && item.text[0] != '-' && item.text[0] != '=';
}

}  // namespace

// [SECTION] Building menus

float menu_dx(std::string text) {
  if (korean()) return 8.0f * static_cast<float>(text.size());
  int width = 0;
  for (unsigned char c : text) width += OGL_glyph_width(c);
  return static_cast<float>(width);
}

int accept_menu(int) { return 1; }
int accept_item(int) { return 1; }

void MACIBM_clear_menu(int n) {
  if (slot_exists(n)) menu[n] = menu_struct();
}

void MACIBM_clear_items(int n) {
  if (slot_exists(n)) menu[n].items.clear();
}

void MACIBM_create_menu(int n, int parent_code, std::string title) {
  float& x = g_menus.next_title_x;
  if (!slot_exists(n) || n > kPopupMenuSlot)
    menu_misuse("Menu index out of range in create_menu!", title, 77);
  if (title.size() > 40) title.resize(40);
  const float w = menu_dx(title) + 30;
  if (parent_code != 0) {
    const int parent = parent_code / kItemsPerMenu, item = parent_code % kItemsPerMenu;
    if (parent_code < 0 || !slot_exists(parent) ||
        item >= static_cast<int>(menu[parent].items.size()))
      menu_misuse("Menu index out of range in create_menu!", title, 77);
    const menu_item& opener = menu[parent].items[item];
    menu_struct& m = menu[n];
    m.title = title;
    m.parent = parent;
    m.l = opener.l;
    m.b = opener.b;
    m.r = opener.r;
    m.t = opener.t;
    return;
  }
  if (n == 0) x = 0;
  menu_struct& m = menu[n];
  m.title = title;
  m.parent = -1;
  m.l = static_cast<float>(static_cast<int>(x));
  x += w;
  m.r = static_cast<float>(static_cast<int>(x));
  m.b = static_cast<float>(mnw.pixel_dy) - kBarHeight;
  m.t = static_cast<float>(mnw.pixel_dy);
  // The plug-ins' menu shares its place with the menu after it.
  x = title == "Plugins" ? x - w : m.r;
}

void MACIBM_append_menu(int n, int i, int id, std::string text, int plain) {
  if (i < 0 || n < 0) return;
  if (!slot_exists(n) || n > kPopupMenuSlot)
    menu_misuse("Menu index out of range in append_menu!", text, 117);
  if (i >= kItemsPerMenu) menu_misuse("Item index out of range in append_menu!", text, 118);
  if (text.size() > 39) menu_misuse("Menu name too long in append_menu!", text, 119);
  menu_struct& m = menu[n];
  if (static_cast<int>(m.items.size()) < i + 1) {
    menu_item empty;
    empty.l = empty.b = empty.r = empty.t = 0;
    m.items.resize(i + 1, empty);
  }
  menu_item& item = m.items[i];
  item.text = text;
  item.id = id;
  item.multibyte = korean() && !plain ? 1 : 0;
  const float h = row_height(item);
  if (i > 0) {
    item.t = m.items[i - 1].b;
    item.b = item.t - h;
  } else if (m.parent == -1) {
    item.b = m.b - h - 2;
    item.t = m.b - 2;
  } else {
    // A submenu's first row is level with the row that opens it.
    item.b = m.b - 2;
    item.t = m.t - 2;
  }
  float w = 0;
  for (int k = 0; k <= i; ++k) w = std::max(w, menu_dx(m.items[k].text) + 30);
  for (int k = 0; k <= i; ++k) {
    m.items[k].l = m.l;
    m.items[k].r = static_cast<float>(static_cast<int>(m.l + w));
  }
}

void MACIBM_remove_menu_item(int n, int i) {
  if (i < 0 || n < 0) return;
  if (!slot_exists(n) || n > kPopupMenuSlot)
    menu_misuse("Menu index out of range in remove_menu_item!", "", 185);
  if (i >= kItemsPerMenu) menu_misuse("Item index out of range in remove_menu_item!", "", 186);
  std::vector<menu_item>& items = menu[n].items;
  if (i >= static_cast<int>(items.size())) return;
  const float h = items[i].t - items[i].b;
  items.erase(items.begin() + i);
  for (size_t k = i; k < items.size(); ++k) {
    items[k].b += h;
    items[k].t += h;
  }
}

// [SECTION] Menu files

namespace {

// "code title": the number before the first space, then the rest after
// the spaces. A line without a space is all number and has no text.
void split_line(const std::string& line, std::string* number, std::string* text) {
  const size_t space = line.find(' ');
  *number = line.substr(0, space);
  text->clear();
  if (space == std::string::npos) return;
  const size_t rest = line.find_first_not_of(' ', space);
  if (rest != std::string::npos) *text = line.substr(rest);
  if (korean()) char_string_to_int_string(text);
}

}  // namespace

void MACIBM_read_menus(std::string folder, std::string file) {
  static const char* const kLanguageFolders[7] = {
      "menus/english/", "menus/french/",    "menus/german/", "menus/italian/",
      "menus/spanish/", "menus/portugese/", "menus/korean/"};
  MACIBM_clear_menus(2);
  std::string path = folder;
  if (mnw.lang >= 0 && mnw.lang <= 6) path += kLanguageFolders[mnw.lang];
  path += file;
  xmap_class map(path.c_str());
  static const int kVersions[] = {1, 0};
  if (!map.check_file(kind_text, kVersions, nullptr, nullptr))
    __MACIBM_alert(wind_main, "Cannot open file!", path.c_str(),
                   "Trash this copy and re-install Nimbrel.", "", t_exit, kSource, 942);
  std::string line, number, text;
  for (int n = 0;; ++n) {
    map.TXT_str_scan_eoln(&line);
    if (line.empty()) return;
    split_line(line, &number, &text);
    // A slot read twice holds only what this file gives it.
    MACIBM_clear_menu(n);
    MACIBM_create_menu(n, str_to_int(number), text);
    for (int i = 0;; ++i) {
      map.TXT_str_scan_eoln(&line);
      if (line == "-") break;
      // A last menu without its closing line ends with the file.
      if (line.empty()) return;
      split_line(line, &number, &text);
      MACIBM_append_menu(n, i, str_to_int(number), text, 0);
    }
  }
}

// [SECTION] Drawing the open menu

namespace {

// The arrow that marks an item opening a submenu: an atlas cell one to one.
void submenu_mark(float x, float y) {
  const atlas::rect& m = atlas::submenu_mark;
  const float hw = float(m.width()) / 2, hh = float(m.height()) / 2, a = 1.0f / float(atlas::kSize);
  const float s0 = float(m.s0) * a, t0 = float(m.t0) * a, s1 = float(m.s1) * a,
              t1 = float(m.t1) * a;
  OGL_2dquad(tex_slot_widgets, colr_white, 1.0f, x - hw, y - hh, s0, t0, x - hw, y + hh, s0, t1,
             x + hw, y + hh, s1, t1, x + hw, y - hh, s1, t0, 1, ogl_alpha_blend);
}

void lit(float l, float b, float r, float t) {
  OGL_fillrect(colr_frame_fill, 0.25f, l, b, r - l, t - b);
}

}  // namespace

void standard_gui() {
  const int open = mnw.open_menu;
  if (!slot_exists(open)) return;
  const menu_struct& m = menu[open];
  if (open != kPopupMenuSlot) {
    BTN_frame1(frame_menu_bar, mnw.pixel_dx * 0.5f, mnw.pixel_dy - kBarHeight * 0.5f,
               static_cast<float>(mnw.pixel_dx), 0);
    for (int i = 0; i < kPopupMenuSlot && i < static_cast<int>(menu.size()); ++i) {
      const menu_struct& bar = menu[i];
      if (bar.title.empty() || bar.parent != -1) continue;
      OGL_string(colr_menu_text, bar.l + 10, bar.b + 6, bar.title, text_one_line,
                 korean() ? charset_grid : charset_ui, align_left);
    }
  }

  m_x1 = m_y1 = 9999;
  m_x2 = m_y2 = 0;
  const menu_item* hovered = nullptr;
  bool any_text = false;
  for (const menu_item& item : m.items) {
    if (item.text.empty()) continue;
    any_text = true;
    m_x1 = std::min(m_x1, item.l);
    m_x2 = std::max(m_x2, item.r);
    if (item.b < m_y1) m_y1 = item.b - 2;
    if (item.t > m_y2) m_y2 = item.t + 2;
    // One unit less at the top than a click, so touching rows never both light.
    if (choosable(item) && BTN_mouse_in(item.l, item.b, item.r, item.t - 1)) hovered = &item;
  }
  if (!any_text) m_x1 = m_y1 = m_x2 = m_y2 = 0;
  if (any_text) BTN_frame2(frame_menu_list, m_x1, m_y1, m_x2 - m_x1, m_y2 - m_y1, "");
  if (m.parent == -1 && open != kPopupMenuSlot) lit(m.l, m.b, m.r, m.t);
  if (hovered) lit(hovered->l, hovered->b, hovered->r, hovered->t);

  const menu_item* previous = nullptr;
  for (const menu_item& item : m.items) {
    if (item.text.empty()) continue;
    if (previous && item.l != previous->l) {
      OGL_line(colr_line_dark, 1, item.l - 1, m_y1 - 1, item.l - 1, m_y2);
      OGL_line(colr_line_light, 1, item.l, m_y2, item.l, m_y1 - 1);
    }
    previous = &item;
  }
  for (const menu_item& item : m.items) {
    if (item.text.empty()) continue;
    if (item.text[0] == '-') {
      OGL_line(colr_line_dark, 1, item.l, item.b + 1, item.r - 1, item.b + 1);
      OGL_line(colr_line_light, 1, item.l, item.b, item.r - 1, item.b);
      continue;
    }
    OGL_string(colr_menu_text, item.l + (open == kPopupMenuSlot ? 3 : 18), item.b + 3, item.text,
               9999, item.multibyte ? charset_grid : charset_ui, align_left);
  }
  for (int i = 0; i < static_cast<int>(menu.size()); ++i)
    if (menu[i].parent == open) submenu_mark(menu[i].r - 8, menu[i].b + 6);
}
