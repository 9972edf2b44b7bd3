// The open/save browser and its panels: the folder list with its name field,
// the breadcrumbs of the folder shown, the buttons, and the preview of the
// file picked (an aircraft file's texts and icon, a flight file's comment).
//
// Contents:
//   [SECTION] Kinds and folders
//   [SECTION] Panels and preview
//   [SECTION] The browser
#include "widgets/opensave.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/alert.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "Files/folder_list.h"
#include "widgets/buttons.h"
#include "widgets/frames.h"
#include "widgets/hooks.h"
#include "widgets/list.h"
#include "widgets/popup.h"

// [SECTION] Kinds and folders

namespace {

struct kind_rule {
  const char* start;      // the folder shown when no path is given
  const char* extension;  // what a saved name gets; "" nothing
};

const kind_rule kKinds[file_kind_last + 1] = {
    {"", ""},
    {"", ""},
    {"", ".BMP"},
    {"", ".ACF"},
    {"", ".AFL"},
    {"", ".WPN"},
    {"", ".WAV"},
    {"", ".OBJ"},
    {"", ""},
    {"Output/situations/", ".SIT"},
    {"Output/movies/", ".SMO"},
    {"Output/FMS plans/", ".FMS"},
    {"", ""},
    {"Output/tracks/", ".TRA"},
    {"Output/cars/", ".CAR"},
    {"Output/ships/", ".SPA"},
    {"Output/regions/", ".REG"},
    {"", ""},
    {"", ".HGT"},
    {"", ".TXT"},
    {"", ""},  // the top of the command tree
    {"", ""},
};

// The folder above a folder path ("a/b/" gives "a/", "a/" gives ""). The
// file layer's rule counts the '/' of a path under three characters as a
// separator, so from a one-character folder it would never climb.
std::string parent_folder(const std::string& folder) {
  if (folder.size() < 2) return "";
  const size_t slash = folder.rfind('/', folder.size() - 2);
  return slash == std::string::npos ? "" : folder.substr(0, slash + 1);
}

// The breadcrumb slot of the deepest folders, the pop-up's last item.
constexpr int kLastCrumb = kPopupMaxItems - 1;

// A folder name as the breadcrumbs show it: '-' separates the pop-up's
// items and '|' is refused by it, so both become other characters there.
std::string crumb_text(std::string name) {
  for (char& c : name) {
    if (c == '-') c = ' ';
    if (c == '|') c = '!';
  }
  return name;
}

}  // namespace

// [SECTION] Panels and preview

namespace {

// The vehicle header of an aircraft file, after the data-file header: 1012
// bytes of numbers, then four zero-terminated texts.
constexpr size_t kVehHeader = 2092;
constexpr size_t kVehNumbers = 1012;
struct veh_text {
  size_t offset, size;
};
// In the order drawn.
constexpr veh_text kVehTexts[4] = {{1552, 500}, {1052, 500}, {2052, 40}, {1012, 40}};
const int kVehVersions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};

// The browser's state: the preview of the file last picked, and the
// breadcrumb shown.
struct opensave_state {
  unsigned char top_of_veh[kVehHeader] = {};
  int has_tex = 0;  // the aircraft's icon is loaded
  std::string comment;
  std::string last_path;  // the file the preview was read from
  int level = 0;          // the breadcrumb shown, the pop-up's selection
};
opensave_state g_opensave;
constexpr unsigned char (&top_of_veh)[kVehHeader] = g_opensave.top_of_veh;
constexpr int& has_tex = g_opensave.has_tex;
constexpr std::string& comment = g_opensave.comment;
constexpr std::string& last_path = g_opensave.last_path;

bool contains(const std::string& path, const char* part) {
  return path.find(part) != std::string::npos;
}

// A file shorter than the header fills what it holds: the rest stays zero.
// The names come from the disk: a file or an icon the reader cannot take (a
// backslash in a name, a path too long) is previewed as a missing one.
void read_vehicle(const std::string& path) {
  memset(top_of_veh, 0, sizeof top_of_veh);
  if (xmap_class::can_take(path)) {
    xmap_class file(path.c_str());
    if (file.check_file(kind_binary, kVehVersions, nullptr, nullptr)) {
      const size_t n = std::min(kVehHeader, static_cast<size_t>(file.map_end - file.cursor));
      memcpy(top_of_veh, file.cursor, n);
      // Numbers come in the file's byte order; texts are bytes.
      if (file.byte_swap)
        for (size_t i = 0; i + 4 <= kVehNumbers; i += 4) {
          std::swap(top_of_veh[i], top_of_veh[i + 3]);
          std::swap(top_of_veh[i + 1], top_of_veh[i + 2]);
        }
    }
  }
  std::string icon = path;
  if (icon.size() >= 4 && icon[icon.size() - 4] == '.') icon.resize(icon.size() - 4);
  icon += "_icon.png";
  tman.unload_texture(tex_slot_file_icon);
  // The image reader tries other extensions of the same length in its place.
  has_tex = xmap_class::can_take(icon) &&
                    tman.load_texture(tex_fail_none, tex_slot_file_icon, 2 | tex_flag_clamp,
                                      tex_load_now, icon.c_str()) == tex_slot_file_icon &&
                    tman.record(tex_slot_file_icon).vram > 0
                ? 1
                : 0;
}

// The first line whose first field is "COMM" gives the comment.
void read_flight(const std::string& path) {
  comment.clear();
  if (!xmap_class::can_take(path)) return;
  xmap_class file(path.c_str());
  if (!file.map_begin || file.map_begin == file.map_end) return;
  if (*file.cursor != 'A' && *file.cursor != 'I') return;
  std::string line;
  file.TXT_str_scan_eoln(&line);  // byte order
  file.TXT_str_scan_eoln(&line);  // version
  while (file.cursor < file.map_end) {
    file.TXT_str_scan_eoln(&line);
    const size_t comma = line.find(',');
    std::string field = line.substr(0, comma);
    while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
    if (strcasecmp(field.c_str(), "COMM") != 0) continue;
    if (comma == std::string::npos) return;
    const size_t text = line.find_first_not_of(" \t", comma + 1);
    if (text != std::string::npos) comment = line.substr(text);
    return;
  }
}

}  // namespace

void BTN_reset_opensave() { g_opensave = opensave_state(); }

void stand_io_dialog(int window, int kind, const std::string& path) {
  OGL_plot_back_col();
  BTN_fillwin(1, kFillwinBare);
  BTN_frame2(frame_panel_dark, 10, 300, io_dx, 120, "");
  if (window == wind_browse_a &&
      (kind == file_aircraft || kind == file_flight || kind == file_nothing)) {
    BTN_frame2(frame_panel_dark, 331, 70, 220, 220, "");
    BTN_frame2(frame_panel_dark, 331, 300, 220, 120, "");
  }
  const bool changed = path != last_path;
  if (kind == file_aircraft && (contains(path, ".acf") || contains(path, ".ACF"))) {
    if (changed) read_vehicle(path);
    float y = 405;
    for (const veh_text& t : kVehTexts) {
      const char* at = reinterpret_cast<const char*>(top_of_veh) + t.offset;
      y = OGL_string(colr_help_text, 341, y, std::string(at, strnlen(at, t.size)), 200, charset_ui,
                     align_left);
    }
    if (has_tex) {
      const ref_dat_struct r = tman.record(tex_slot_file_icon);
      const float s = r.tex_dx > 0 ? r.dx / r.tex_dx : 1, t = r.tex_dy > 0 ? r.dy / r.tex_dy : 1;
      OGL_2dquad(tex_slot_file_icon, colr_art, 1.0f, 341, 80, 0, 0, 341, 280, 0, t, 541, 280, s, t,
                 541, 80, s, 0, 1, 4);
    }
  }
  if (kind == file_flight && contains(path, ".fdr")) {
    if (changed) read_flight(path);
    if (!comment.empty())
      OGL_string(colr_help_text, 341, 270, comment, 200, charset_ui, align_left);
  }
  last_path = path;
}

// [SECTION] The browser

bool BTN_bad_browser_args(int window, int kind, const char* bad_window, const char* bad_kind) {
  if (window != wind_browse_a && window != wind_browse_b) {
    MACIBM_alert(wind_main, bad_window, "", "", "", t_exit);
    return true;
  }
  if (kind < 0 || kind > file_kind_last) {
    MACIBM_alert(wind_main, bad_kind, "", "", "", t_exit);
    return true;
  }
  return false;
}

namespace {

// One run of the browser: the folder shown and its entries, the list's
// selection and scroll, the name typed and the breadcrumbs.
struct browser {
  int kind;
  bool saving;
  std::string folder;
  std::vector<std::string> names;
  std::vector<int> kinds;
  int count = 0, selected = 0, scroll = 0;
  std::string name;
  std::vector<std::string> crumbs;  // the folder of each breadcrumb; 0 the top
  std::string crumb_items;          // the breadcrumbs' pop-up items

  browser(int window, int kind, const std::string& path)
      : kind(kind), saving(window == wind_browse_b), crumbs(kPopupMaxItems) {
    if (path.empty())
      folder = kKinds[kind].start;
    else if (path.find('/') != std::string::npos)
      get_path_with_path(folder, path);
    count = opensave_getitems(folder, kind, names, kinds);
    selected = scroll = count / 2;
  }

  void enter(const std::string& to) {
    folder = to;
    count = opensave_getitems(folder, kind, names, kinds);
    selected = scroll = count / 2;
  }

  bool picked() const { return selected >= 0 && selected < count; }

  // The panels with the preview of the entry picked, then the list of the
  // folder read again; 1 when an entry was double-clicked.
  int draw_list(int window) {
    stand_io_dialog(window, kind, picked() ? folder + names[size_t(selected)] : "-");
    count = opensave_getitems(folder, kind, names, kinds);
    return BTN_list_and_search(0, 10, 180, 0, 0, &scroll, &selected, 0, count - 1,
                               saving ? &name : nullptr, "File:", BTN_name_from_vector, &names,
                               nullptr, nullptr, BTN_type_from_vector, &kinds);
  }

  // The folders of the path shown, drawn as a slanting column, and the
  // pop-up's items for them; *level becomes the breadcrumb of the folder
  // shown. The pop-up takes kPopupMaxItems items at most: in a folder deeper
  // than that, the last item names the folder shown (the last slot holds
  // its path), and the levels just above it have no item.
  void draw_breadcrumbs(int* level) {
    crumb_items = "Flyhouse folder";
    crumbs[0].clear();
    int depth = 0;
    if (folder.size() >= 2) {
      size_t from = 0;
      std::string shown;
      for (int k = 1; from < folder.size(); ++k) {
        size_t slash = folder.find('/', from);
        if (slash == std::string::npos) slash = folder.size() - 1;
        shown = crumb_text(folder.substr(from, slash - from));
        const float y = 405 - 10.0f * float(k - 1);
        OGL_string(colr_help_text, 435 - y, y, shown, 9999, charset_ui, align_left);
        if (k < kLastCrumb) crumb_items += "-" + shown;
        depth = std::min(k, kLastCrumb);
        crumbs[size_t(depth)] = folder.substr(0, slash + 1);
        from = slash + 1;
      }
      if (depth == kLastCrumb) crumb_items += "-" + shown;
    }
    for (size_t k = 0; k <= size_t(depth); ++k)
      if (crumbs[k] == folder) {
        *level = int(k);
        break;
      }
  }

  // The name typed, with the kind's extension. Only an extension that the
  // kind replaces is cut: a kind that adds none keeps the name whole.
  std::string saved_name() const {
    std::string saved = name;
    const std::string extension = kKinds[kind].extension;
    if (!extension.empty()) {
      if (saved.size() > 4 && saved[saved.size() - 4] == '.') saved.resize(saved.size() - 4);
      saved += extension;
    }
    return saved;
  }
};

// What the keys and buttons of one pass asked for.
struct browser_input {
  int activated;  // an entry double-clicked
  int return_hit, delete_hit;
  bool save_pressed, open_pressed;
};

// Acts on one pass's input: a save or an opened file puts the choice in
// *path and returns true; a folder opened, or the folder above on Delete,
// is entered.
bool act(browser& b, const browser_input& in, std::string* path) {
  if (b.saving && (in.return_hit || in.save_pressed) && !b.name.empty()) {
    *path = b.folder + b.saved_name();
    return true;
  }
  if (in.activated || (in.return_hit && !b.saving) || in.open_pressed) {
    const bool picked = b.picked();
    if (picked && b.kinds[size_t(b.selected)] == kind_folder) {
      b.enter(b.folder + b.names[size_t(b.selected)] + "/");
    } else if (picked && !b.saving) {
      *path = b.folder + b.names[size_t(b.selected)];
      return true;
    }
  }
  if (in.delete_hit && !b.folder.empty()) b.enter(parent_folder(b.folder));
  return false;
}

}  // namespace

int BTN_opensave(int window, int kind, std::string* path) {
  if (BTN_bad_browser_args(window, kind, "Bad open_save arg to BTN_opensave!",
                           "Bad file_type arg to BTN_opensave!"))
    return 0;
  const widget_hooks& shell = g_widget_hooks;
  const int return_to = mnw.cur_window;
  browser b(window, kind, *path);
  bool first_pass = true;

  shell.start_window(window);
  while (mnw.cur_window == window) {
    browser_input in{};
    in.activated = b.draw_list(window);
    b.draw_breadcrumbs(&g_opensave.level);

    // The keys of the frame that opened the browser are not its own.
    int escape_hit = 0;
    if (!first_pass) shell.key_hits(&in.return_hit, &escape_hit, &in.delete_hit);
    first_pass = false;
    in.save_pressed = b.saving && BTN_action(282, 18, 0, 0, 1, "Save", "-");
    in.open_pressed = !b.saving && BTN_action(280, 18, 0, 0, 1, "Open", "-");
    if (BTN_action(33, 18, 0, 0, 1, stls.str[607], "-") || escape_hit) {
      shell.start_window(return_to);
      return 0;
    }

    if (BTN_textlist(150, 434, &g_opensave.level, b.crumb_items, "")) {
      b.enter(b.crumbs[size_t(g_opensave.level)]);
    } else if (act(b, in, path)) {
      shell.start_window(return_to);
      return 1;
    }
    shell.run_frame();
  }
  return 0;
}
