// The path and file selectors: a text field with a folder icon that opens
// the desktop's folder chooser through the shell.
#include "widgets/selectors.h"

#include <algorithm>
#include <cstring>

#include "core/globals.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "Files/io_utils.h"
#include "widgets/hooks.h"
#include "widgets/labels.h"
#include "widgets/opensave.h"
#include "widgets/text_entry.h"

namespace {

// What follows the path's folder: a file's name, or a folder's name with
// its '/'.
std::string last_component(const std::string& path) {
  std::string folder;
  get_path_with_path(folder, path);
  return path.substr(folder.size());
}

// The most a caller's buffer of max_len bytes takes: its terminating zero
// leaves room for one less, and the guarded copy takes no more than a path
// buffer does. A chosen folder's path can be any length.
size_t buffer_chars(int max_len) { return std::min(size_t(max_len - 1), kPathBufferChars); }

// The guarded copy into a caller's buffer.
void copy_back(char* buffer, const std::string& text) {
  check_path_length(text);
  memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace

int BTN_select_path_stl(float x, float y, int window, int kind, std::string* path, int max_len,
                        const std::string& label, float width, int grab) {
  if (BTN_bad_browser_args(window, kind, "Bad open_save arg to BTN_select_path_stl!",
                           "Bad file_type arg to BTN_select_path_stl!"))
    return 0;
  std::string left, right, help;
  BTN_expand_label(label, &left, &right, &help);
  BTN_util_draw_label(x - 32, y, 0, left, 0);
  BTN_util_draw_label(x + width + 6, y, 2, right, 0);
  BTN_atlas_quad(x - 30, y - 10, x - 4, y + 16, atlas::folder_icon, colr_white);

  std::string text = kind == file_nothing || kind == file_commands ? *path : last_component(*path);
  if (BTN_enterstring(x, y, &text, max_len, "", width, grab)) *path = text;

  if (!BTN_mouse_in(x - 28, y - 8, x - 6, y + 12)) return 0;
  stls.help_text = help;
  if (!mnw.mouse_down) return 0;
  std::string chosen = *path;
  if (!g_widget_hooks.choose_path(choose_folder, "Please pick an Flyhouse to update", "Update",
                                  nullptr, chosen))
    return 0;
  *path = chosen;
  return 1;
}

int BTN_select_path_chr(float x, float y, int window, int kind, char* path, int max_len,
                        const std::string& label, float width, int grab) {
  if (BTN_bad_browser_args(window, kind, "Bad open_save arg to BTN_select_path_chr!",
                           "Bad file_type arg to BTN_select_path_chr!"))
    return 0;
  if (max_len < 1) return 0;
  const size_t most = buffer_chars(max_len);
  const std::string before(path, strnlen(path, size_t(max_len)));
  std::string text = before;
  int chosen = BTN_select_path_stl(x, y, window, kind, &text, int(most), label, width, grab);
  if (text.size() > most) {
    // Cut, a chosen path would name another folder: it counts as a cancel.
    if (chosen) {
      chosen = 0;
      text = before;
    }
    if (text.size() > most) text.resize(most);
  }
  copy_back(path, text);
  return chosen;
}

int BTN_select_file_chr(float x, float y, int window, int kind, char* name, std::string* path,
                        int max_len, const std::string& label, float width) {
  if (BTN_bad_browser_args(window, kind, "Bad open_save arg to BTN_select_file_chr!",
                           "Bad file_type arg to BTN_select_file_chr!"))
    return 0;
  if (max_len < 1) return 0;
  std::string whole;
  if (!path->empty()) get_path_with_path(whole, *path);
  whole.append(name, strnlen(name, size_t(max_len)));
  const size_t most = buffer_chars(max_len);
  if (!BTN_select_path_stl(x, y, window, kind, &whole, int(most), label, width, 1)) return 0;
  const std::string chosen_name = last_component(whole);
  if (chosen_name.size() > most) return 0;
  *path = whole;
  copy_back(name, chosen_name);
  return 1;
}
