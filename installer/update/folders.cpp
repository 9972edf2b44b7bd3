// Making the destination and the standard folders, and the tests that keep
// every write and deletion of an install inside the destination.
#include "installer/update/folders.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <set>

#include "core/alert.h"
#include "core/globals.h"
#include "Files/beneath.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "installer/update/install.h"

const char* const kFixedFolders[7] = {
    "Output",    "Output/FMS plans",     "Output/logbooks", "Output/movies", "Output/situations",
    "Resources", "Resources/preferences"};

// [SECTION] The destination

bool usable_dest_dir(std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  std::string p = path;
  if (p.back() != '/') p += '/';
  if (p.find_first_not_of('/') == std::string::npos) return false;
  path = p;
  return true;
}

std::string dest_root(const install_state& in) { return app_path + in.dest_dir_path; }

bool dest_rel(const install_state& in, const std::string& path, std::string* rel) {
  const std::string& dest_dir_path = in.dest_dir_path;
  if (dest_dir_path.empty() || path.compare(0, dest_dir_path.size(), dest_dir_path) != 0)
    return false;
  *rel = path.substr(dest_dir_path.size());
  return true;
}

namespace {

bool real_path(const std::string& path, std::string* out) {
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved)) return false;
  *out = resolved;
  return true;
}

// The real path of the nearest existing folder that holds path.
bool real_folder_of(const std::string& path, std::string* out) {
  std::string p = path;
  for (;;) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) return false;
    p.erase(slash == 0 ? 1 : slash);
    if (real_path(p, out)) return true;
    if (p == "/") return false;
  }
}

}  // namespace

int depth_in_dest(const install_state& in, const std::string& path) {
  std::string dest, folder;
  if (!real_path(app_path + in.dest_dir_path, &dest) || !real_folder_of(app_path + path, &folder))
    return -1;
  if (folder == dest) return 0;
  if (dest != "/") dest += '/';
  if (folder.compare(0, dest.size(), dest) != 0) return -1;
  int depth = 1;
  for (size_t i = dest.size(); i < folder.size(); ++i) depth += folder[i] == '/';
  return depth;
}

bool inside_dest(const install_state& in, const std::string& path) {
  return depth_in_dest(in, path) >= 0;
}

// [SECTION] Standard folders

namespace {

std::string leaf_name(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

void make_dir_error(const install_state& in, const std::string& path, int code) {
  const std::string error = "Error: " + error_str(code);
  const std::string location = "Install Location: " + in.dest_dir_path;
  const std::string where = "Install Path:" + path;
  // Source and line as the message has always carried them.
  __MACIBM_alert(wind_main,
                 "I am unable to install or update Nimbrel. An error occurred while creating new "
                 "folders. Make sure you are installing to a directory that you have access to!",
                 error.c_str(), location.c_str(), where.c_str(), t_alert, "Installer-f/utils", 177);
}

void make_dirs(install_state& in) {
  const std::string& dest_dir_path = in.dest_dir_path;
  // The destination and every folder above it; the part before the first
  // "/" is never made on its own.
  const std::string p =
      dest_dir_path.substr(0, dest_dir_path.empty() ? 0 : dest_dir_path.size() - 1);
  for (size_t slash = p.find('/', 1);; slash = p.find('/', slash + 1)) {
    const std::string folder = slash == std::string::npos ? p : p.substr(0, slash);
    if (!folder.empty()) {
      int r = make_folder(folder);
      if (show_make_dir_err(r)) {
        make_dir_error(in, folder, r);
        break;
      }
    }
    if (slash == std::string::npos) break;
  }

  // The folders of the wanted files, a folder before its sub-folders.
  std::set<std::string> folders;
  for (size_t i = 0; i < in.sim_info.size(); ++i) {
    const file_version_struct& e = in.sim_info[i].back();
    if (e.sig_want == "GONE" ||
        !want_this_f(in, static_cast<int>(i), static_cast<int>(in.sim_info[i].size()) - 1, e.type))
      continue;
    std::string rel = e.path;
    trim_dest_folder(rel);
    for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1))
      folders.insert(rel.substr(0, slash));
  }
  struct stat dest_stat;
  const bool dest_there =
      stat(dest_root(in).c_str(), &dest_stat) == 0 && S_ISDIR(dest_stat.st_mode);
  // Made beneath the destination: a link on the way that leads outside
  // refuses the folder. Where a file stands in a folder's way, the unpacking
  // decides what may go.
  for (const std::string& folder : folders) {
    const std::string path = dest_dir_path + folder;
    int r = beneath_mkdir(dest_root(in), folder, 0755);
    if (r == EXDEV || r == ELOOP) {
      xer << "Not making " << path << ": a link takes it outside the destination.\n";
      continue;
    }
    if (r == ENOTDIR && dest_there) continue;
    if (show_make_dir_err(r)) {
      make_dir_error(in, path, r);
      break;
    }
  }

  for (const char* folder : kFixedFolders) {
    int r = beneath_mkdir(dest_root(in), folder, 0755);
    if (r == EXDEV || r == ELOOP)
      xer << "Not making " << dest_dir_path << folder
          << ": a link takes it outside the destination.\n";
    else if (show_make_dir_err(r))
      make_dir_error(in, dest_dir_path + folder, r);
  }

  // Framework entries that should be links but are folders make way for the
  // links the archives bring; a failed rename is of no consequence.
  for (const char* framework : {"VYKO.framework/", "NBWidgets.framework/"}) {
    const std::string base = std::string("Resources/plugins/") + framework;
    for (const char* entry : {"Versions/Current", "Resources"}) {
      const std::string from = base + entry;
      const std::string to = from.substr(0, from.rfind('/') + 1) + "_" + leaf_name(entry);
      struct stat st;
      if (beneath_lstat(dest_root(in), from, walk_links_inside, &st) == 0 && !S_ISLNK(st.st_mode))
        beneath_rename(dest_root(in), from, to, walk_links_inside);
    }
  }
}
