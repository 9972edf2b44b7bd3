// Paths beneath a root folder: the kernel's beneath-resolution where the
// kernel has it, a component walk that follows links by hand where it has
// not, and the file operations built on the folder either one opens.
//
// Contents
//   [SECTION] Resolvers
//   [SECTION] Operations
//   [SECTION] Judging a link and whole trees
#include "Files/beneath.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>

#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif

beneath_state g_beneath;

void beneath_reset() {
  g_beneath.kernel_resolver = -1;
  g_beneath.force_walk = false;
  g_beneath.kernel_attempts = 8;
  g_beneath.kernel_gave_way = 0;
}

namespace {

#ifndef RESOLVE_BENEATH
struct open_how {
  uint64_t flags;
  uint64_t mode;
  uint64_t resolve;
};
const uint64_t RESOLVE_NO_MAGICLINKS = 0x02;
const uint64_t RESOLVE_NO_SYMLINKS = 0x04;
const uint64_t RESOLVE_BENEATH = 0x08;
#endif
#ifndef SYS_openat2
const long SYS_openat2 = 437;
#endif

// As the kernel counts them: more links than this on one way is a loop.
const int kMostLinks = 40;

// [SECTION] Resolvers

class fd_holder {
 public:
  explicit fd_holder(int fd = -1) : fd_(fd) {}
  ~fd_holder() {
    if (fd_ >= 0) close(fd_);
  }
  fd_holder(const fd_holder&) = delete;
  fd_holder& operator=(const fd_holder&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

std::deque<std::string> components(const std::string& path) {
  std::deque<std::string> out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (!part.empty() && part != ".") out.push_back(part);
    start = slash + 1;
  }
  return out;
}

// The rest of a walk that reached a missing entry, counted by its names: the
// depth it ends at, or -1 when it climbs above the root.
int lexical_depth(int depth, const std::deque<std::string>& rest) {
  for (const std::string& part : rest) {
    depth += part == ".." ? -1 : 1;
    if (depth < 0) return -1;
  }
  return depth;
}

// The walk: each component opened without following it; a link's text takes
// the link's place in the components still to come. The folders passed are
// kept open, so ".." goes back to the folder we really came through and
// never above the root. With lexical set, a missing component ends the walk
// with the depth its names reach (*fd then stays -1).
int walk(int root_fd, std::deque<std::string> parts, beneath_walk how, bool lexical, int* fd,
         int* depth) {
  std::vector<int> open_folders;
  auto close_all = [&] {
    for (int f : open_folders) close(f);
    open_folders.clear();
  };
  open_folders.push_back(dup(root_fd));
  if (open_folders.back() < 0) return errno;
  int links = 0;
  while (!parts.empty()) {
    const std::string name = parts.front();
    parts.pop_front();
    if (name == "..") {
      if (open_folders.size() == 1) {
        close_all();
        return EXDEV;
      }
      close(open_folders.back());
      open_folders.pop_back();
      continue;
    }
    const int here = open_folders.back();
    int next = openat(here, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next >= 0) {
      // O_PATH with O_NOFOLLOW opens a link itself on some kernels.
      struct stat st;
      if (fstat(next, &st) == 0 && S_ISDIR(st.st_mode)) {
        open_folders.push_back(next);
        continue;
      }
      close(next);
      errno = ENOTDIR;
    }
    int err = errno;
    struct stat st;
    if (fstatat(here, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
      if (how == walk_no_links || ++links > kMostLinks) {
        close_all();
        return ELOOP;
      }
      char text[PATH_MAX];
      ssize_t n = readlinkat(here, name.c_str(), text, sizeof text);
      if (n <= 0 || n >= static_cast<ssize_t>(sizeof text) || text[0] == '/') {
        close_all();
        return n <= 0 ? errno : EXDEV;
      }
      std::deque<std::string> inner = components(std::string(text, static_cast<size_t>(n)));
      parts.insert(parts.begin(), inner.begin(), inner.end());
      continue;
    }
    if (lexical && (err == ENOENT || err == ENOTDIR)) {
      parts.push_front(name);
      *depth = lexical_depth(static_cast<int>(open_folders.size()) - 1, parts);
      close_all();
      *fd = -1;
      return *depth < 0 ? EXDEV : 0;
    }
    close_all();
    return err;
  }
  *depth = static_cast<int>(open_folders.size()) - 1;
  *fd = open_folders.back();
  open_folders.pop_back();
  close_all();
  return 0;
}

// The kernel's resolver: -errno, or ENOSYS-like results that send us to the
// walk for good; -EAGAIN when every attempt met a rename somewhere.
int kernel_open_folder(int root_fd, const std::string& rel, beneath_walk how) {
  open_how h;
  memset(&h, 0, sizeof h);
  h.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
  h.resolve =
      RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS | (how == walk_no_links ? RESOLVE_NO_SYMLINKS : 0);
  for (int attempt = 0; attempt < g_beneath.kernel_attempts; ++attempt) {
    long fd = syscall(SYS_openat2, root_fd, rel.c_str(), &h, sizeof h);
    if (fd >= 0) return static_cast<int>(fd);
    // EAGAIN: something was renamed during the lookup; ask again.
    if (errno != EAGAIN) return -errno;
  }
  return -EAGAIN;
}

bool kernel_resolver_usable(int err) {
  return err != ENOSYS && err != EPERM && err != E2BIG && err != EINVAL;
}

// Opens the folder folder_rel beneath the root folder root_fd.
int open_folder_beneath(int root_fd, const std::string& folder_rel, beneath_walk how) {
  if (folder_rel.empty()) {
    int fd = dup(root_fd);
    return fd >= 0 ? fd : -errno;
  }
  if (!g_beneath.force_walk && g_beneath.kernel_resolver != 0) {
    int fd = kernel_open_folder(root_fd, folder_rel, how);
    if (fd == -EAGAIN) {
      // The walk holds each folder it passes, so renames cannot mislead it:
      // it answers this lookup, and the kernel the next.
      ++g_beneath.kernel_gave_way;
    } else if (fd >= 0 || kernel_resolver_usable(-fd)) {
      g_beneath.kernel_resolver = 1;
      return fd;
    } else {
      g_beneath.kernel_resolver = 0;
    }
  }
  int fd = -1, depth = 0;
  int err = walk(root_fd, components(folder_rel), how, false, &fd, &depth);
  return err ? -err : fd;
}

int open_root(const std::string& root) {
  int fd = open(root.empty() ? "." : root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd >= 0 ? fd : -errno;
}

// Splits rel into its folder and its last name; false when it has no name
// of its own (empty, "." or "..": never an entry beneath the root).
bool split_rel(const std::string& rel, std::string* folder, std::string* leaf) {
  std::string r = rel;
  while (!r.empty() && r.back() == '/') r.pop_back();
  size_t slash = r.rfind('/');
  *folder = slash == std::string::npos ? "" : r.substr(0, slash);
  *leaf = slash == std::string::npos ? r : r.substr(slash + 1);
  return !leaf->empty() && *leaf != "." && *leaf != "..";
}

}  // namespace

int beneath_open_parent(const std::string& root, const std::string& rel, beneath_walk how,
                        std::string* leaf) {
  std::string folder;
  if (!split_rel(rel, &folder, leaf)) return -EXDEV;
  fd_holder root_fd(open_root(root));
  if (root_fd.get() < 0) return root_fd.get();
  return open_folder_beneath(root_fd.get(), folder, how);
}

// [SECTION] Operations

int beneath_lstat(const std::string& root, const std::string& rel, beneath_walk how,
                  struct stat* st) {
  std::string leaf;
  fd_holder folder(beneath_open_parent(root, rel, how, &leaf));
  if (folder.get() < 0) return -folder.get();
  return fstatat(folder.get(), leaf.c_str(), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int beneath_mkdir(const std::string& root, const std::string& rel, mode_t mode) {
  std::string leaf;
  fd_holder folder(beneath_open_parent(root, rel, walk_links_inside, &leaf));
  if (folder.get() < 0) return -folder.get();
  return mkdirat(folder.get(), leaf.c_str(), mode) == 0 ? 0 : errno;
}

int beneath_unlink(const std::string& root, const std::string& rel, beneath_walk how) {
  std::string leaf;
  fd_holder folder(beneath_open_parent(root, rel, how, &leaf));
  if (folder.get() < 0) return -folder.get();
  const int flags = !rel.empty() && rel.back() == '/' ? AT_REMOVEDIR : 0;
  return unlinkat(folder.get(), leaf.c_str(), flags) == 0 ? 0 : errno;
}

int beneath_rename(const std::string& root, const std::string& from, const std::string& to,
                   beneath_walk how) {
  std::string from_leaf, to_leaf;
  fd_holder from_folder(beneath_open_parent(root, from, how, &from_leaf));
  if (from_folder.get() < 0) return -from_folder.get();
  fd_holder to_folder(beneath_open_parent(root, to, how, &to_leaf));
  if (to_folder.get() < 0) return -to_folder.get();
  return renameat(from_folder.get(), from_leaf.c_str(), to_folder.get(), to_leaf.c_str()) == 0
             ? 0
             : errno;
}

int beneath_read_link(const std::string& root, const std::string& rel, std::string* text) {
  std::string leaf;
  fd_holder folder(beneath_open_parent(root, rel, walk_links_inside, &leaf));
  if (folder.get() < 0) return -folder.get();
  char buffer[PATH_MAX];
  ssize_t n = readlinkat(folder.get(), leaf.c_str(), buffer, sizeof buffer);
  if (n < 0) return errno;
  if (n >= static_cast<ssize_t>(sizeof buffer)) return ENAMETOOLONG;
  text->assign(buffer, static_cast<size_t>(n));
  return 0;
}

int beneath_chmod(const std::string& root, const std::string& rel, mode_t mode) {
  std::string path = rel;
  for (int links = 0; links <= kMostLinks; ++links) {
    std::string folder_rel, leaf;
    if (!split_rel(path, &folder_rel, &leaf)) return EXDEV;
    fd_holder folder(beneath_open_parent(root, path, walk_links_inside, &leaf));
    if (folder.get() < 0) return -folder.get();
    // The mode changes on what was opened, never on whatever takes the name
    // after a look at it. Non-blocking: a FIFO must not hold the call.
    fd_holder entry(openat(folder.get(), leaf.c_str(),
                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (entry.get() >= 0) return fchmod(entry.get(), mode) == 0 ? 0 : errno;
    if (errno != ELOOP) return errno;
    // A link: its own text continues the way from its folder. One that has
    // just given way to something else is looked at again.
    char text[PATH_MAX];
    ssize_t n = readlinkat(folder.get(), leaf.c_str(), text, sizeof text);
    if (n < 0 && errno == EINVAL) continue;
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof text)) return n <= 0 ? errno : ENAMETOOLONG;
    if (text[0] == '/') return EXDEV;
    path = (folder_rel.empty() ? "" : folder_rel + "/") + std::string(text, static_cast<size_t>(n));
  }
  return ELOOP;
}

int beneath_open_read(const std::string& root, const std::string& rel, beneath_walk how) {
  std::string leaf;
  fd_holder folder(beneath_open_parent(root, rel, how, &leaf));
  if (folder.get() < 0) return folder.get();
  // Non-blocking: a FIFO put in a file's place must not hold the reader.
  fd_holder fd(openat(folder.get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return -errno;
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return -errno;
  if (!S_ISREG(st.st_mode)) return -ENXIO;
  fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return fd.release();
}

// [SECTION] Judging a link and whole trees

bool beneath_link_stays_inside(const std::string& root, const std::string& folder_rel,
                               const std::string& text) {
  if (text.empty() || text[0] == '/') return false;
  fd_holder root_fd(open_root(root));
  if (root_fd.get() < 0) return false;
  std::deque<std::string> parts = components(folder_rel);
  std::deque<std::string> more = components(text);
  parts.insert(parts.end(), more.begin(), more.end());
  int fd = -1, depth = 0;
  if (walk(root_fd.get(), parts, walk_links_inside, true, &fd, &depth) != 0) return false;
  if (fd >= 0) close(fd);
  return depth >= 0;
}

namespace {

int list_folder(int folder_fd, const std::string& rel, bool remove,
                std::vector<std::string>* entries) {
  int fd = openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* d = fdopendir(fd);
  if (!d) {
    close(fd);
    return errno;
  }
  int result = 0;
  while (struct dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (fstatat(dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      result = errno;
      break;
    }
    if (S_ISDIR(st.st_mode)) {
      fd_holder sub(openat(dirfd(d), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (sub.get() < 0) {
        result = errno;
        break;
      }
      if ((result = list_folder(sub.get(), rel + name + "/", remove, entries)) != 0) break;
      if (entries) entries->push_back(rel + name + "/");
      if (remove && unlinkat(dirfd(d), name.c_str(), AT_REMOVEDIR) != 0) {
        result = errno;
        break;
      }
    } else {
      if (entries) entries->push_back(rel + name);
      if (remove && unlinkat(dirfd(d), name.c_str(), 0) != 0) {
        result = errno;
        break;
      }
    }
  }
  closedir(d);
  return result;
}

int tree(const std::string& root, const std::string& rel, beneath_walk how, bool remove,
         std::vector<std::string>* entries) {
  std::string leaf;
  fd_holder folder(beneath_open_parent(root, rel, how, &leaf));
  if (folder.get() < 0) return -folder.get();
  fd_holder top(openat(folder.get(), leaf.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (top.get() < 0) return errno;
  struct stat st;
  if (fstat(top.get(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  std::string prefix = rel;
  while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
  int r = list_folder(top.get(), prefix + "/", remove, entries);
  if (r == 0 && remove && unlinkat(folder.get(), leaf.c_str(), AT_REMOVEDIR) != 0) r = errno;
  return r;
}

}  // namespace

int beneath_list_tree(const std::string& root, const std::string& rel, beneath_walk how,
                      std::vector<std::string>* entries) {
  return tree(root, rel, how, false, entries);
}

int beneath_remove_tree(const std::string& root, const std::string& rel, beneath_walk how) {
  return tree(root, rel, how, true, nullptr);
}
