// Paths beneath a root folder: every operation reaches its entry only through
// folders that really lie beneath the root, however the symbolic links on the
// way lead (chains included). A way that leaves the root is refused with
// EXDEV, never taken.
//
// root is a folder path (app_path already in front); rel is a path relative
// to it, "/"-separated, a trailing "/" naming a folder. Results are 0 or an
// errno, file descriptors are >= 0 or a negated errno.
#pragma once

#include <atomic>

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

// How the folders on the way to an entry are crossed. The entry itself (the
// last component) is never followed unless a function says so.
enum beneath_walk {
  walk_links_inside = 0,  // links followed while they stay beneath the root
  walk_no_links = 1,      // a link anywhere on the way refuses the path (ELOOP)
};

// Which resolver the module uses: the kernel's, when it has one (openat2 with
// RESOLVE_BENEATH), else a walk of the components that opens each one without
// following it. Tests force the walk to try both.
struct beneath_state {
  // -1 not yet tried, 0 missing, 1 present; the first threads to resolve
  // may find out at once.
  std::atomic<int> kernel_resolver{-1};
  bool force_walk = false;
  // How often the kernel is asked before the walk answers instead: a rename
  // anywhere on the system during a lookup through ".." makes the kernel
  // refuse it (EAGAIN), which a busy machine can do several times running.
  int kernel_attempts = 8;
  // Lookups the walk answered for that reason.
  std::atomic<int> kernel_gave_way{0};
};
extern beneath_state g_beneath;
void beneath_reset();

// Opens (O_PATH) the folder that holds rel and gives the entry's name in it.
int beneath_open_parent(const std::string& root, const std::string& rel, beneath_walk how,
                        std::string* leaf);

// The entry's own status, not followed. 0 or an errno.
int beneath_lstat(const std::string& root, const std::string& rel, beneath_walk how,
                  struct stat* st);
// Makes one folder (its parent must exist). EEXIST when something is there.
int beneath_mkdir(const std::string& root, const std::string& rel, mode_t mode);
// Removes a file or link; a folder when rel ends in "/" (only when empty).
int beneath_unlink(const std::string& root, const std::string& rel, beneath_walk how);
int beneath_rename(const std::string& root, const std::string& from, const std::string& to,
                   beneath_walk how);
// Changes the mode of what rel names, its own link followed too while it
// stays beneath the root; the entry is opened for reading (never followed)
// and changed through that descriptor, so one its owner may not read is
// refused.
int beneath_chmod(const std::string& root, const std::string& rel, mode_t mode);
// The text of the link rel.
int beneath_read_link(const std::string& root, const std::string& rel, std::string* text);
// Opens the regular file rel for reading (never a link, FIFO or device).
int beneath_open_read(const std::string& root, const std::string& rel, beneath_walk how);

// Whether a link with this text, standing in the folder folder_rel, leads to
// a place beneath the root: every component that exists is resolved on disk
// (links followed, chains included); what does not exist yet is counted by
// its names.
bool beneath_link_stays_inside(const std::string& root, const std::string& folder_rel,
                               const std::string& text);

// Every entry of the real folder rel and its sub-folders, never through a
// link: paths relative to root, folders ending in "/", deepest first.
int beneath_list_tree(const std::string& root, const std::string& rel, beneath_walk how,
                      std::vector<std::string>* entries);
// Removes the real folder rel with everything in it, never through a link.
int beneath_remove_tree(const std::string& root, const std::string& rel, beneath_walk how);
