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

unsigned char top_of_veh[kVehHeader];
int has_tex = 0;
std::string comment;
std::string last_path;

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
    MACIBM_alert(0, bad_window, "", "", "", t_exit);
    return true;
  }
  if (kind < 0 || kind > file_kind_last) {
    MACIBM_alert(0, bad_kind, "", "", "", t_exit);
    return true;
  }
  return false;
}

int BTN_opensave(int window, int kind, std::string* path) {
  static int level = 0;  // the breadcrumb shown, the pop-up's selection
  if (BTN_bad_browser_args(window, kind, "Bad open_save arg to BTN_opensave!",
                           "Bad file_type arg to BTN_opensave!"))
    return 0;
  const widget_hooks& shell = g_widget_hooks;
  const bool saving = window == wind_browse_b;
  const int return_to = mnw.cur_window;

  std::string folder;
  if (path->empty())
    folder = kKinds[kind].start;
  else if (path->find('/') != std::string::npos)
    get_path_with_path(folder, *path);
  std::vector<std::string> names;
  std::vector<int> kinds;
  int count = opensave_getitems(folder, kind, names, kinds);
  int selected = count / 2, scroll = count / 2;
  auto enter = [&](const std::string& to) {
    folder = to;
    count = opensave_getitems(folder, kind, names, kinds);
    selected = scroll = count / 2;
  };
  std::string name;
  std::vector<std::string> crumbs(kPopupMaxItems);  // the folder of each breadcrumb; 0 the top
  bool first_pass = true;

  shell.start_window(window);
  while (mnw.cur_window == window) {
    const bool valid = selected >= 0 && selected < count;
    stand_io_dialog(window, kind, valid ? folder + names[size_t(selected)] : "-");
    count = opensave_getitems(folder, kind, names, kinds);
    const int activated = BTN_list_and_search(
        0, 10, 180, 0, 0, &scroll, &selected, 0, count - 1, saving ? &name : nullptr,
        "File:", BTN_name_from_vector, &names, nullptr, nullptr, BTN_type_from_vector, &kinds);

    // The pop-up takes kPopupMaxItems items at most: in a folder deeper than
    // that, the last item names the folder shown (the last slot holds its
    // path), and the levels just above it have no item.
    std::string crumb_items = "Flyhouse folder";
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
        level = int(k);
        break;
      }

    // The keys of the frame that opened the browser are not its own.
    int return_hit = 0, escape_hit = 0, delete_hit = 0;
    if (!first_pass) shell.key_hits(&return_hit, &escape_hit, &delete_hit);
    first_pass = false;
    const bool save_pressed = saving && BTN_action(282, 18, 0, 0, 1, "Save", "-");
    const bool open_pressed = !saving && BTN_action(280, 18, 0, 0, 1, "Open", "-");
    if (BTN_action(33, 18, 0, 0, 1, stls.str[607], "-") || escape_hit) {
      shell.start_window(return_to);
      return 0;
    }

    if (BTN_textlist(150, 434, &level, crumb_items, "")) {
      enter(crumbs[size_t(level)]);
    } else {
      if (saving && (return_hit || save_pressed) && !name.empty()) {
        // Only an extension that the kind replaces is cut: a kind that adds
        // none keeps the name whole.
        std::string saved = name;
        const std::string extension = kKinds[kind].extension;
        if (!extension.empty()) {
          if (saved.size() > 4 && saved[saved.size() - 4] == '.') saved.resize(saved.size() - 4);
          saved += extension;
        }
        *path = folder + saved;
        shell.start_window(return_to);
        return 1;
      }
      if (activated || (return_hit && !saving) || open_pressed) {
        const bool picked = selected >= 0 && selected < count;
        if (picked && kinds[size_t(selected)] == 1) {
          enter(folder + names[size_t(selected)] + "/");
        } else if (picked && !saving) {
          *path = folder + names[size_t(selected)];
          shell.start_window(return_to);
          return 1;
        }
      }
      if (delete_hit && !folder.empty()) enter(parent_folder(folder));
    }
    shell.run_frame();
  }
  return 0;
}
