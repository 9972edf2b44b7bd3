// Folder listing: one flat read of a folder, filtered and sorted the way the
// open/save panel shows it.
#include "Files/folder_list.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

#include "core/alert.h"
#include "core/commands.h"
#include "core/globals.h"

namespace {

struct extension_kind {
  const char* ext;
  int kind;
};

const extension_kind kExtensionKinds[] = {
    {".BMP", kind_image}, {".PNG", kind_image}, {".ACF", 3},  {".AFL", 4},  {".WPN", 5},
    {".WAV", 6},          {".OBJ", 7},          {".FDR", 8},  {".SIT", 9},  {".SMO", 10},
    {".FMS", 11},         {".TRA", 13},         {".CAR", 14}, {".SPA", 15}, {".REG", 16},
    {".DSF", 17},         {".HGT", 18},         {".TXT", 19},
};

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Case-insensitive, each byte taken as signed (bytes of 128 and above sort
// before ASCII), a prefix before the longer name. Linux lets "a" and "A"
// stand side by side: byte order breaks such ties so the order is stable.
bool name_before(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    signed char ca = static_cast<signed char>(lower_ascii(a[i]));
    signed char cb = static_cast<signed char>(lower_ascii(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void list_commands(const std::string& folder, int mode, std::vector<std::string>& names,
                   std::vector<int>& kinds) {
  if (mode == list_command_paths) cmnd.get_cmds_in_path(folder, names);
  for (std::string& name : names) {
    bool is_folder = !name.empty() && name.back() == '/';
    if (is_folder) name.pop_back();
    kinds.push_back(is_folder ? kind_folder : kind_other);
  }
}

}  // namespace

int opensave_takeit(const std::string& folder, const std::string& name, int mode, int& kind) {
  if (name.size() >= 4) {
    const char* tail = name.c_str() + name.size() - 4;
    for (const extension_kind& e : kExtensionKinds)
      if (strcasecmp(tail, e.ext) == 0) kind = e.kind;
  }
  if (mode == list_panel_images) {
    std::string joined = folder + name;
    // Panel backgrounds and their numbered variants are not offered as images.
    if (strncasecmp(joined.c_str(), "Resources/bitmaps/cockpit/-panel", 32) == 0) return 0;
    if (joined.size() >= 6) {
      const char* v = joined.c_str() + joined.size() - 6;
      if (v[0] == '-' && v[1] >= '1' && v[1] <= '4' && v[2] == '.') return 0;
    }
  }
  if (name.empty() || name[0] == '.') return 0;
  return kind == kind_folder || kind == mode || mode == list_every_kind ||
         (mode == list_panel_images && kind == kind_image);
}

int opensave_getitems(const std::string& folder, int mode, std::vector<std::string>& names,
                      std::vector<int>& kinds, int* read_error) {
  names.clear();
  kinds.clear();
  if (read_error) *read_error = 0;
  if (mode == list_nothing || mode == list_command_paths) {
    list_commands(folder, mode, names, kinds);
    return static_cast<int>(names.size());
  }

  std::string path = app_path + folder;
  if (path.size() > 1 && path.back() != '/')
    MACIBM_alert(wind_main, "Working path does not appear to be a directory!",
                 "This is not consistent with my labelling practices!",
                 "I need to end all paths with the directory indicator!", path.c_str(), t_exit);

  // An empty path is the working folder, which opendir does not take as "".
  DIR* d = opendir(path.empty() ? "." : path.c_str());
  if (!d) {
    if (read_error) *read_error = errno ? errno : EIO;
    return 0;
  }
  // readdir gives null both at the end and on failure: errno tells them apart.
  for (;;) {
    errno = 0;
    struct dirent* e = readdir(d);
    if (!e) {
      if (errno != 0) {
        const int err = errno;
        closedir(d);
        names.clear();
        kinds.clear();
        if (read_error) *read_error = err;
        return 0;
      }
      break;
    }
    std::string name = e->d_name;
    // lstat does not follow links: a link to a folder is listed as a plain entry.
    struct stat st;
    int kind =
        lstat((path + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? kind_folder : kind_other;
    if (opensave_takeit(folder, name, mode, kind)) {
      names.push_back(name);
      kinds.push_back(kind);
    }
  }
  closedir(d);

  std::vector<size_t> order(names.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return name_before(names[a], names[b]); });
  std::vector<std::string> sorted_names;
  std::vector<int> sorted_kinds;
  sorted_names.reserve(order.size());
  sorted_kinds.reserve(order.size());
  for (size_t i : order) {
    sorted_names.push_back(std::move(names[i]));
    sorted_kinds.push_back(kinds[i]);
  }
  names.swap(sorted_names);
  kinds.swap(sorted_kinds);
  return static_cast<int>(names.size());
}
