// The key-assignment window: the bindings listed on the left (a press on one
// selects it, and the next key typed becomes its key), a button that adds a
// binding, and a browser of the command tree on the right in which the
// selected binding's command is chosen.
//
// Contents:
//   [SECTION] Layout and command paths
//   [SECTION] Frames and help
//   [SECTION] The binding list
//   [SECTION] The command browser
//   [SECTION] The window
#include <algorithm>
#include <string>
#include <vector>

#include "core/commands.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/text.h"
#include "platform/keys/keys.h"
#include "widgets/buttons.h"
#include "widgets/frames.h"
#include "widgets/sliders.h"

// [SECTION] Layout and command paths

namespace {

constexpr int kRowsShown = 34;
// The selection's value when no binding is selected.
constexpr int kNoSelection = -1;
constexpr float kColumnWidth = 184;
constexpr float kTopMargin = 34;
constexpr float kBrowserTop = 685, kBrowserStep = 15, kBrowserColumn = 148;

const char* const kHelp =
    "Select the key you'd like to program from the list on the left of this screen and hit any "
    "key you like! Then select the group above and the item at right to assign some funtion to "
    "that keypress!";

// The folder of a command path: up to and including its last '/', a
// trailing '/' not counted ("a/b/c" and "a/b/" both give "a/").
std::string folder_of(const std::string& path) {
  if (path.empty()) return "";
  const size_t end = path.back() == '/' ? path.size() - 1 : path.size();
  if (end == 0) return "";
  const size_t slash = path.rfind('/', end - 1);
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool is_folder(const std::string& entry) { return !entry.empty() && entry.back() == '/'; }

std::string command_path(int command) {
  return command >= 0 && command < static_cast<int>(cmnd.path.size()) ? cmnd.path[command] : "";
}

// The first command (not a sub-folder) of a folder, or -1.
int first_command(const std::string& folder) {
  std::vector<std::string> entries;
  cmnd.get_cmds_in_path(folder, entries);
  for (const std::string& e : entries)
    if (!is_folder(e)) return cmnd.get_cmnd_by_name(folder + e);
  return -1;
}

// A binding as the list shows it: its modifiers, a blank, its key.
std::string binding_text(const key_binding& b) {
  std::string flags = keys_class::flag_to_str(b.flags);
  flags = flags == "<none>" ? "" : flags + " ";
  return flags + keys_class::vkey_to_str(b.vkey);
}

}  // namespace

// [SECTION] Frames and help

namespace {

// The left edges of the list's column and of the browser's right half.
struct wind_columns {
  float list, browser;
};

wind_columns draw_frames() {
  float wx1 = 0, wy1 = 0, wx2 = 0, wy2 = 0;
  BTN_subwin(kTopMargin, frame_text_panel, -1, -1, 380, -1, "", &wx1, &wy1);
  wx1 += 20;
  BTN_subwin(kTopMargin, frame_panel, wx1, -1, kColumnWidth, 270, "", &wx2, &wy1);
  BTN_subwin(kTopMargin, frame_panel_dark, wx1, wy1, kColumnWidth, 100, "", &wx2, &wy1);
  BTN_subwin(kTopMargin, frame_panel, wx1, wy1, kColumnWidth, -1, "", &wx2, &wy2);
  BTN_subwin(kTopMargin, frame_panel, wx2, -1, -1, -1, "", nullptr, nullptr);
  return {wx1, wx2};
}

// The selected binding's command path and description (none without a
// selection), then how the window is used.
void draw_help(float column, const key_binding* selected) {
  if (selected) {
    const int command = selected->command;
    OGL_string(colr_help_text, column + 10, 370, command_path(command), 174, charset_ui,
               align_left);
    const std::string description =
        command >= 0 && command < static_cast<int>(cmnd.description.size())
            ? cmnd.description[command]
            : "";
    OGL_string(colr_help_text, column + 10, 340, description, 174, charset_ui, align_left);
  }
  OGL_string(colr_label, column + kColumnWidth / 2, 260, kHelp, 164, charset_ui, align_centre);
}

}  // namespace

// [SECTION] The binding list

void keys_class::list_bindings(float column) {
  int& k_change = wind_.k_change;
  int& k_cen = wind_.k_cen;
  const int count = static_cast<int>(bindings.size());
  // The table changes between frames: a binding added now is listed from
  // the next frame, but the list already makes room for it.
  int shown = count;
  if (BTN_action(column + kColumnWidth / 2, 30, 0, 0, 1, "Add New Key Assignment", "-")) {
    add_binding();
    ++shown;
    if (shown > kRowsShown) k_cen = shown - kRowsShown;
  }
  k_cen = std::clamp(k_cen, 0, std::max(0, shown - kRowsShown));
  BTN_vert_slider(0, column - 15, wind_.y1, wind_.y2, 0, shown - kRowsShown, &k_cen);

  for (int r = 0; r < kRowsShown; ++r) {
    // The row pressed is the row on screen; the binding is the one the
    // scrolled list shows there.
    const int index = k_cen + r;
    if (index >= count) break;
    const key_binding& b = bindings[index];
    const float y = 689 - 20.0f * float(r);
    if (BTN_action(88, y, 140, index == k_change, 0, "-" + binding_text(b), "-"))
      k_change = index == k_change ? kNoSelection : index;
    OGL_string(colr_path_text, 164, y - 4, command_path(b.command), text_one_line, charset_ui,
               align_left);
  }
}

// [SECTION] The command browser

// The command browser: the sibling folders of the group on the left, the
// group's own entries on the right. Picking a group assigns its first
// command; a sub-folder among the entries opens it; ".." climbs.
void keys_class::browse_commands(float left, float right) {
  std::string& group = wind_.group;
  const std::string path = command_path(bindings[wind_.k_change].command);
  if (wind_.browsed_for != wind_.k_change) {
    group = folder_of(path);
    wind_.browsed_for = wind_.k_change;
  }
  bool group_changed = browse_groups(left + 18);
  const std::string opened = browse_entries(right + 18, path);
  // A group picked on the left wins over a sub-folder opened on the right.
  if (!opened.empty() && !group_changed) {
    group = opened;
    group_changed = true;
  }
  if (group_changed) {
    const int command = first_command(group);
    if (command >= 0) assign_command(wind_.k_change, command);
  }
}

bool keys_class::browse_groups(float x) {
  std::string& group = wind_.group;
  const std::string parent = folder_of(group);
  bool group_changed = false;
  std::vector<std::string> entries;
  cmnd.get_cmds_in_path(parent, entries);
  float y = kBrowserTop;
  if (!group.empty()) {
    int ticked = 0;
    if (BTN_bool(x, y, &ticked, "|..", 0)) {
      group = parent;
      group_changed = true;
    }
    y -= kBrowserStep;
  }
  for (const std::string& e : entries) {
    if (!is_folder(e)) continue;
    int ticked = parent + e == group ? 1 : 0;
    if (BTN_bool(x, y, &ticked, "|" + e, 0) && parent + e != group && !group_changed) {
      group = parent + e;
      group_changed = true;
    }
    y -= kBrowserStep;
  }
  return group_changed;
}

std::string keys_class::browse_entries(float x, const std::string& path) {
  const std::string& group = wind_.group;
  std::vector<std::string> entries;
  cmnd.get_cmds_in_path(group, entries);
  std::string opened;
  float y = kBrowserTop;
  for (const std::string& e : entries) {
    if (y < 20) {
      y = kBrowserTop;
      x += kBrowserColumn;
    }
    int ticked = group + e == path ? 1 : 0;
    if (BTN_bool(x, y, &ticked, "|" + e, 0)) {
      if (is_folder(e))
        opened = group + e;
      else
        assign_command(wind_.k_change, cmnd.get_cmnd_by_name(group + e));
    }
    y -= kBrowserStep;
  }
  return opened;
}

// [SECTION] The window

void keys_class::keys_wind() {
  int& k_change = wind_.k_change;
  // A selection the table no longer reaches (it was reset or cut) selects
  // nothing, rather than a binding that later takes its place.
  if (k_change >= static_cast<int>(bindings.size())) k_change = kNoSelection;

  const wind_columns at = draw_frames();
  draw_help(at.list, k_change >= 0 ? &bindings[k_change] : nullptr);
  list_bindings(at.list);

  if (k_change >= 0 && mnw.key_hit) assign_key(k_change, last_vkey, last_flags);
  if (k_change < 0) {
    wind_.browsed_for = kNoSelection;  // a binding selected again is browsed from its own folder
    return;
  }
  browse_commands(at.list, at.browser);
}
