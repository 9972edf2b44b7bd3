// The user's folders from the XDG variables and the home folder, and the
// run's private temporary folder.
#include "platform/folders.h"

#include <errno.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "Files/io_utils.h"
#include "platform/shell.h"

folders_state g_folders;

static std::string home_folder() {
  const char* home = getenv("HOME");
  return home && *home ? home : "/";
}

static std::string with_slash(std::string p) {
  if (p.empty() || p.back() != '/') p += '/';
  return p;
}

std::string PLAT_home_folder() { return with_slash(home_folder()); }

// The desktop folder from the user's XDG settings file, else ~/Desktop.
// Memory: one line of up to 1 KiB at a time (a longer one is read in
// pieces, none of which matches the key); time: one pass over the file.
static std::string desktop_folder() {
  std::string config = getenv("XDG_CONFIG_HOME") && *getenv("XDG_CONFIG_HOME")
                           ? getenv("XDG_CONFIG_HOME")
                           : home_folder() + "/.config";
  FILE* f = UTL_fopen_regular((config + "/user-dirs.dirs").c_str(), "r");
  std::string result = home_folder() + "/Desktop";
  if (f) {
    char line[1024];
    while (fgets(line, sizeof line, f)) {
      std::string s = line;
      const std::string key = "XDG_DESKTOP_DIR=\"";
      if (s.compare(0, key.size(), key) != 0) continue;
      size_t end = s.find('"', key.size());
      if (end == std::string::npos) continue;
      std::string v = s.substr(key.size(), end - key.size());
      if (v.compare(0, 5, "$HOME") == 0) v = home_folder() + v.substr(5);
      result = v;
    }
    fclose(f);
  }
  return result;
}

int PLAT_system_folder(int kind, std::string& out) {
  switch (kind) {
    case folder_app:
      MACIBM_set_app_path(out);
      return out.empty() ? ENOENT : 0;
    case folder_desktop:
      out = with_slash(desktop_folder());
      return 0;
    case folder_applications:
      out = PLAT_home_folder() + "Applications/";
      return 0;
    case folder_temp: {
      if (g_folders.temp_folder.empty()) {
        // A private folder: fixed names in a shared /tmp would let another
        // user plant links where we write.
        const char* tmp = getenv("TMPDIR");
        std::string templ = with_slash(tmp && *tmp ? tmp : "/tmp") + "nimbrel-XXXXXX";
        if (!mkdtemp(&templ[0])) return errno;
        g_folders.temp_folder = with_slash(templ);
      }
      out = g_folders.temp_folder;
      return 0;
    }
    case folder_prefs: {
      const char* cfg = getenv("XDG_CONFIG_HOME");
      std::string folder = cfg && *cfg ? cfg : home_folder() + "/.config";
      if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return errno;
      out = with_slash(folder);
      return 0;
    }
    default:
      return EINVAL;
  }
}

static int remove_entry(const char* p, const struct stat*, int, struct FTW*) { return remove(p); }

void folders_state::reset() {
  if (!temp_folder.empty()) nftw(temp_folder.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
  *this = folders_state();
}

void PLAT_remove_temp_folder() { g_folders.reset(); }
