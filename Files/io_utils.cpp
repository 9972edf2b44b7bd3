// The file layer on POSIX: path tests, creation, renaming, deletion, letter
// case repair, and the file references that stand in for the Mac's.
//
// Contents
//   [SECTION] The failure record and path buffers
//   [SECTION] Opening regular files, reading links
//   [SECTION] Tests
//   [SECTION] Creation, renaming, deletion
//   [SECTION] Letter case repair
//   [SECTION] File references
#include "Files/io_utils.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "core/alert.h"
#include "core/globals.h"
#include "Files/errors.h"

// [SECTION] The failure record and path buffers

thread_local io_utils_state g_io_utils;
thread_local std::string& sErrFile = g_io_utils.err_file;
thread_local int& sErrLine = g_io_utils.err_line;

void io_utils_reset() { g_io_utils = io_utils_state(); }

static int fail_here(const char* file, int line) {
  int err = errno;
  sErrFile = file;
  sErrLine = line;
  return err;
}
#define FAIL_ERRNO() fail_here(__FILE__, __LINE__)

void check_path_length(const std::string& text) {
  if (text.size() > kPathBufferChars)
    MACIBM_alert(wind_main, "String too long!", text.c_str(), "", "", t_exit);
}

std::string prefixed_path(const std::string& path) {
  check_path_length(app_path);
  check_path_length(path);
  std::string full = app_path + path;
  check_path_length(full);
  return full;
}

bool fits_path_buffer(const std::string& path) {
  return app_path.size() + path.size() <= kPathBufferChars;
}

static bool stat_case_repaired(const std::string& path, struct stat* st) {
  if (!g_case_sensitive) return stat((app_path + path).c_str(), st) == 0;
  std::string full = prefixed_path(path);
  char buf[500];
  memcpy(buf, full.c_str(), full.size() + 1);
  findPath(buf);
  return stat(buf, st) == 0;
}

// [SECTION] Opening regular files, reading links

int UTL_open_regular(const char* path, int flags, int mode) {
  int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = ENXIO;
    return -1;
  }
  // Regular files ignore the flag; it goes so that nothing later depends on it.
  fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

FILE* UTL_fopen_regular(const char* path, const char* mode) {
  const bool update = strchr(mode, '+') != nullptr;
  int flags;
  switch (mode[0]) {
    case 'r':
      flags = update ? O_RDWR : O_RDONLY;
      break;
    case 'w':
      flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
      break;
    case 'a':
      flags = (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
      break;
    default:
      errno = EINVAL;
      return nullptr;
  }
  int fd = UTL_open_regular(path, flags);
  if (fd < 0) return nullptr;
  FILE* f = fdopen(fd, mode);
  if (!f) {
    int err = errno;
    close(fd);
    errno = err;
  }
  return f;
}

int UTL_make_regular(const char* path) {
  int fd = UTL_open_regular(path, O_WRONLY | O_CREAT);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

int UTL_read_link(const char* path, std::string* text) {
  char buf[PATH_MAX];
  ssize_t n = readlink(path, buf, sizeof buf);
  if (n < 0) return errno;
  if (n >= static_cast<ssize_t>(sizeof buf)) return ENAMETOOLONG;
  if (text) text->assign(buf, static_cast<size_t>(n));
  return 0;
}

// [SECTION] Tests

int file_exists(const std::string& path) {
  struct stat st;
  return stat_case_repaired(path, &st) && !S_ISDIR(st.st_mode) ? 1 : 0;
}

int dir_exists(const std::string& path) {
  std::string p = path;
  if (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st;
  return stat_case_repaired(p, &st) && S_ISDIR(st.st_mode) ? 1 : 0;
}

int is_sim_link(const char* path, std::string* link_text) {
  std::string full = prefixed_path(path ? path : "");
  FSRef ref;
  if (FilePathToFSRefAndName(full.c_str(), &ref, nullptr) != 0) return 0;
  if (ref.path.size() > 499) return 0;
  // A text that may have been cut is refused rather than handed back as a
  // different link.
  std::string text;
  if (UTL_read_link(ref.path.c_str(), &text) != 0 || text.empty()) return 0;
  if (link_text) *link_text = text;
  return 1;
}

// [SECTION] Creation, renaming, deletion

int delete_file(const std::string& path) {
  std::string full = app_path + path;
  if (full.empty()) return ENOENT;
  if (full.back() == '/') {
    full.pop_back();
    if (rmdir(full.c_str()) != 0) return FAIL_ERRNO();
  } else if (unlink(full.c_str()) != 0) {
    return FAIL_ERRNO();
  }
  return 0;
}

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

int rename_file(const std::string& folder, const std::string& old_name,
                const std::string& new_name) {
  std::string from = folder + old_name, to = folder + new_name;
  // Asked of the kernel directly: older C libraries lack the call, and
  // rename(2) would put a folder over an empty one of the new name.
  if (syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0)
    return FAIL_ERRNO();
  return 0;
}

int make_folder(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  if (mkdir(p.c_str(), 0755) != 0) return FAIL_ERRNO();
  return 0;
}

int show_del_err(int) { return 0; }

// A folder that exists already is no error, whichever way it was reported.
int show_make_dir_err(int code) {
  return code == 0 || code == EEXIST || code == kMacDuplicateName ? 0 : 1;
}

// [SECTION] Letter case repair

void findPath(char* path) {
  struct stat st;
  if (!path || stat(path, &st) == 0) return;
  size_t len = strlen(path);
  size_t start = 0;
  while (start < len) {
    if (path[start] == '/') {
      ++start;
      continue;
    }
    size_t end = start;
    while (end < len && path[end] != '/') ++end;

    std::string folder;
    if (start == 0)
      folder = ".";
    else if (start == 1 && path[0] == '/')
      folder = "/";
    else
      folder.assign(path, start - 1);
    std::string component(path + start, end - start);

    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    // readdir's order is arbitrary here, so an exact spelling wins over the
    // first case-insensitive one when a folder holds both.
    std::string match;
    while (struct dirent* e = readdir(dir)) {
      if (strcasecmp(e->d_name, component.c_str()) != 0) continue;
      if (component == e->d_name) {
        match = component;
        break;
      }
      if (match.empty()) match = e->d_name;
    }
    closedir(dir);
    if (match.size() != component.size()) return;
    memcpy(path + start, match.data(), match.size());
    start = end;
  }
}

// [SECTION] File references

// A missing object gives File Manager's "file not found": callers that came
// from the Mac compare against it.

// realpath of the folder joined with the last component as given, so a link
// at the end of a path stays a link. The folder must exist.
static int canonical_path(const std::string& path, std::string& out) {
  std::string p = path;
  // "link/" names the folder the link points to, as the system reads it.
  bool names_folder = p.size() > 1 && p.back() == '/';
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return ENOENT;
  size_t slash = p.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
  std::string leaf = slash == std::string::npos ? p : p.substr(slash + 1);
  if (p == "/" || leaf == "." || leaf == ".." || names_folder) {
    folder = p;
    leaf.clear();
  }
  char resolved[PATH_MAX];
  if (!realpath(folder.c_str(), resolved)) return errno == ENOENT ? kMacFileNotFound : errno;
  out = resolved;
  if (!leaf.empty()) {
    if (out.back() != '/') out += '/';
    out += leaf;
  }
  return 0;
}

static int existing_ref(const std::string& path, FSRef* ref) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0)
    return errno == ENOENT || errno == ENOTDIR ? kMacFileNotFound : errno;
  return canonical_path(path, ref->path);
}

int FilePathToFSRefAndName(const char* path, FSRef* ref, HFSUniStr255* name) {
  std::string p = path ? path : "";
  if (!name) return existing_ref(p, ref);

  // The object itself may not exist yet: the reference is its folder's.
  size_t search_end = p.size();
  if (search_end > 0 && p[search_end - 1] == '/') --search_end;
  size_t slash = search_end == 0 ? std::string::npos : p.rfind('/', search_end - 1);
  std::string leaf = slash == std::string::npos ? p : p.substr(slash + 1);
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
  name->length = static_cast<unsigned short>(leaf.size() > 255 ? 255 : leaf.size());
  for (unsigned short i = 0; i < name->length; ++i)
    name->unicode[i] = static_cast<unsigned char>(leaf[i]);  // Latin-1 bytes map one to one
  return existing_ref(folder, ref);
}

int FSSpecToFilePath(const FSSpec& file_spec, std::string& out) {
  struct stat st;
  if (lstat(file_spec.path.c_str(), &st) != 0) return errno == ENOENT ? kMacFileNotFound : errno;
  if (file_spec.path.size() > 499) return ENAMETOOLONG;
  out = file_spec.path;
  return 0;
}

// The Mac walked parent folders up to the volume; here the root is a volume
// with an empty name, so the walk's result is the absolute path itself.
int FSRefToFilePath(const FSRef& ref, std::string& out) {
  out.clear();
  struct stat st;
  if (lstat(ref.path.c_str(), &st) != 0) return errno == ENOENT ? kMacFileNotFound : errno;
  out = ref.path;
  return 0;
}

int FilePathToFSSpec(const char* path, FSSpec& file_spec) {
  std::string p = path ? path : "";
  // Colon-style parent steps: "vol:a:b::c" is "vol:a:c".
  for (size_t dd; (dd = p.find("::")) != std::string::npos;) {
    size_t colon = dd == 0 ? std::string::npos : p.rfind(':', dd - 1);
    if (colon == std::string::npos) break;
    p.erase(colon + 1, dd + 2 - (colon + 1));
  }
  if (p.size() >= 2 && p.back() == '/') p.pop_back();
  return existing_ref(p, &file_spec);
}

// No call on Linux takes colon paths: the form the older file calls take is
// the absolute "/" path, a folder keeping its trailing "/".
void ConvertPathToCFM(std::string& path) {
  if (path.empty()) return;
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return;
    std::string base = cwd;
    if (base.back() != '/') base += '/';
    path = base + path;
  }
}
