// Unpacking one downloaded archive into place, judged before and after: the
// expected entries within the manifest's size, then the manifest's file
// itself (size, MD5, a link that stays inside) before it replaces the old one;
// and the queue that runs these on the worker pool.
//
// Contents
//   [SECTION] Scratch folders
//   [SECTION] Judging the archive and the file
//   [SECTION] Making way
//   [SECTION] Unpacking
//   [SECTION] Reporting
//   [SECTION] The queue
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "core/threads/ordered_jobs.h"
#include "Files/beneath.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "Files/zip.h"
#include "Files/zip_entries.h"
#include "installer/update/folders.h"
#include "installer/update/install.h"
#include "installer/update/transfer.h"
#include "installer/update/unpack.h"

// [SECTION] Scratch folders

namespace {

// A job unpacks into a folder of its own beside the target, made by the job
// and named for the run and the job's slot: the stem tells a person what a
// leftover is. What tells the installer is the note inside, naming the file
// unpacked there; a folder is never taken for ours by its name alone.
const char kScratchStem[] = ".nimbrel-unpacking";
const char kScratchNote[] = ".nimbrel-unpacking";
const char kScratchNoteHead[] = "Unpacked here by the Nimbrel installer:\n";
// A name taken already (by anything) is passed over for the next one.
const int kScratchTries = 16;
// A longer note is not ours: it holds one name.
const size_t kScratchNoteMost = 4096;
// The token's bytes of randomness, written as hex.
const int kScratchTokenBytes = 6;

std::string scratch_token() {
  std::random_device entropy;
  std::string token;
  for (int k = 0; k < kScratchTokenBytes; ++k) {
    char hex[3];
    snprintf(hex, sizeof hex, "%02x", static_cast<unsigned>(entropy() & 0xff));
    token += hex;
  }
  return token;
}

std::string scratch_name(const std::string& token, int slot) {
  return std::string(kScratchStem) + "-" + token + "-" + std::to_string(slot) + "/";
}

bool is_leaf_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

// The names in the open folder folder_fd; false when it cannot be read.
bool folder_names(int folder_fd, std::vector<std::string>* names) {
  const int fd = openat(folder_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* d = fd >= 0 ? fdopendir(fd) : nullptr;
  if (!d) {
    if (fd >= 0) close(fd);
    return false;
  }
  while (struct dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names->push_back(e->d_name);
  closedir(d);
  return true;
}

// The file a note in the folder names; "" when the folder holds no note of
// ours.
std::string note_names(int folder_fd) {
  const int fd = openat(folder_fd, kScratchNote, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "";
  struct stat st;
  std::string text;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<uint64_t>(st.st_size) <= kScratchNoteMost) {
    char buffer[kScratchNoteMost + 1];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) text.assign(buffer, static_cast<size_t>(n));
  }
  close(fd);
  const size_t head = sizeof kScratchNoteHead - 1;
  if (text.compare(0, head, kScratchNoteHead) != 0) return "";
  const std::string leaf = text.substr(head);
  return is_leaf_name(leaf) ? leaf : "";
}

// Removes the folder `name` in parent_fd when it is a scratch folder left by
// an earlier run: a real folder with our note, holding nothing but the note,
// the file it names and that file's fork. Anything else there, and it stays
// whole. True when removed.
bool remove_leftover(int parent_fd, const std::string& name) {
  const int fd = openat(parent_fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const std::string leaf = note_names(fd);
  std::vector<std::string> names;
  bool ours = !leaf.empty() && folder_names(fd, &names);
  for (const std::string& entry : names) {
    struct stat st;
    ours = ours && (entry == kScratchNote || entry == leaf || entry == "._" + leaf) &&
           fstatat(fd, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISDIR(st.st_mode);
  }
  if (ours)
    for (const std::string& entry : names) unlinkat(fd, entry.c_str(), 0);
  close(fd);
  return ours && unlinkat(parent_fd, name.c_str(), AT_REMOVEDIR) == 0;
}

// The leftovers in the folder folder_rel beneath the destination.
void sweep_folder(const install_state& in, const std::string& folder_rel) {
  std::string ignored;
  const int folder =
      beneath_open_parent(dest_root(in), folder_rel + kScratchStem, walk_links_inside, &ignored);
  if (folder < 0) return;
  std::vector<std::string> names;
  folder_names(folder, &names);
  for (const std::string& name : names)
    if (name.compare(0, sizeof kScratchStem - 1, kScratchStem) == 0 &&
        remove_leftover(folder, name))
      xer << "Removed " << in.dest_dir_path << folder_rel << name
          << "/: an earlier run was unpacking there.\n";
  close(folder);
}

}  // namespace

void unpack_sweep_leftovers(const install_state& in) {
  std::set<std::string> folders = {""};
  for (const file_history_struct& h : in.sim_info) {
    std::string rel;
    if (!h.empty() && dest_rel(in, local_path_of(in, h.back()), &rel))
      folders.insert(rel.substr(0, rel.rfind('/') + 1));
  }
  for (const std::string& folder : folders) sweep_folder(in, folder);
}

// [SECTION] Judging the archive and the file

namespace {

// A fork entry holds the file's resource fork, which no manifest size
// covers; this is more than any of ours.
const uint64_t kForkLimit = 64ull << 20;

// The entries must be exactly the file (regular or link) and optionally its
// fork twin with the "__MACOSX/" folder entry, within the size the manifest
// gives (kilobytes truncated, so anything below the next thousand bytes).
std::string entries_problem(const std::vector<zip_entry_info>& entries, const std::string& leaf,
                            const file_version_struct& want) {
  const uint64_t limit = static_cast<uint64_t>(want.ext_size) * 1000 + 1000;
  int files = 0;
  for (const zip_entry_info& e : entries) {
    if (e.name == leaf && !e.is_folder) {
      ++files;
      if (e.uncompressed_size > (e.is_link ? uint64_t(PATH_MAX - 1) : limit))
        return "an entry larger than the manifest's size";
    } else if (e.name == "__MACOSX/") {
    } else if (e.name == "__MACOSX/._" + leaf) {
      if (e.uncompressed_size > kForkLimit) return "a resource fork too large";
    } else {
      return "an entry that is not the file: " + (e.name.empty() ? "(unusable name)" : e.name);
    }
  }
  return files == 1 ? "" : "no entry for the file";
}

// What the unpacked file must be before it may take the target's place.
std::string unpacked_problem(const install_state& in, const std::string& file,
                             const std::string& folder_rel, const file_version_struct& want) {
  struct stat st;
  if (lstat(file.c_str(), &st) != 0) return "the archive left no file";
  const bool link = S_ISLNK(st.st_mode);
  if (!link && !S_ISREG(st.st_mode)) return "the archive left something that is not a file";
  if (link) {
    std::string text;
    if (UTL_read_link(file.c_str(), &text) != 0 || text.empty()) return "an unreadable link";
    // Judged where it will stand, against the destination as it is on disk:
    // links already there (this release's own included) are followed.
    if (!beneath_link_stays_inside(dest_root(in), folder_rel, text))
      return "a link that leads out of the destination";
  } else if (static_cast<uint64_t>(st.st_size) >
             static_cast<uint64_t>(want.ext_size) * 1000 + 1000) {
    return "a file larger than the manifest's size";
  }
  std::string sig;
  if (!installed_md5(file, &sig)) return "an unreadable file";
  if (sig != want.sig_want) return "MD5 " + sig + " where the manifest has " + want.sig_want;
  // Modes from a mirror never give others the right to write, nor set-id
  // bits; the owner can always read and replace the file.
  if (!link) chmod(file.c_str(), (st.st_mode & 0755) | 0600);
  return "";
}

// Codes of the file system (a full disk, no permission) are ours to report;
// everything else came from the archive.
bool local_failure(int code) { return is_posix_error(code); }

// [SECTION] Making way

// The local paths, beneath the destination, that this manifest deletes (and
// those it replaces, when asked): only these may go to make way.
std::set<std::string> manifest_takes(const install_state& in, bool replaced_too) {
  std::set<std::string> takes;
  for (const file_history_struct& h : in.sim_info) {
    const file_version_struct& e = h.back();
    std::string rel;
    if ((e.want_delete || (replaced_too && e.want_download)) &&
        dest_rel(in, local_path_of(in, e), &rel))
      takes.insert(rel);
  }
  return takes;
}

bool taken(const std::set<std::string>& takes, const std::string& rel) {
  if (takes.count(rel)) return true;
  // A fork twin goes with its file. A scratch folder of a job still out is
  // not the manifest's: the folder it stands in stays.
  const size_t slash = rel.rfind('/') + 1;
  return rel.compare(slash, 2, "._") == 0 &&
         takes.count(rel.substr(0, slash) + rel.substr(slash + 2));
}

// Whether this run put the entry rel in place (a file the install wants,
// which no other file of it may push aside).
bool placed_by_this_run(const install_state& in, const std::string& rel,
                        const std::set<file_identity>* placed_ids) {
  struct stat st;
  return placed_ids && !placed_ids->empty() &&
         beneath_lstat(dest_root(in), rel, walk_links_inside, &st) == 0 &&
         placed_ids->count(identity_of(st));
}

// Removes the folder that stands where the file rel goes, when everything in
// it is the manifest's to delete or replace and none of it was placed by
// this run; else names what stops it. 0, or an errno.
int clear_folder(const install_state& in, const std::string& rel,
                 const std::set<std::string>& takes, const std::set<file_identity>* placed_ids,
                 in_the_way* way) {
  std::vector<std::string> entries;
  int r = beneath_list_tree(dest_root(in), rel, walk_links_inside, &entries);
  if (r != 0) return r;
  for (const std::string& entry : entries)
    if (entry.back() != '/' && (!taken(takes, entry) || placed_by_this_run(in, entry, placed_ids)))
      way->users.push_back(entry);
  if (!way->users.empty()) {
    way->path = in.dest_dir_path + rel;
    return 0;
  }
  thread_log() << "Removing the folder " << in.dest_dir_path << rel
               << ": a file of the manifest takes its place.\n";
  return beneath_remove_tree(dest_root(in), rel, walk_links_inside);
}

// Makes every folder on the way to rel: a missing one is made; a file or a
// link that this manifest deletes gives way to it; anything else of the
// user's stops the unpacking. 0, or an errno (EXDEV: the way leads out of
// the destination).
int make_way(const install_state& in, const std::string& rel, in_the_way* way) {
  std::set<std::string> takes;
  bool takes_known = false;
  for (size_t slash = rel.find('/'); slash != std::string::npos; slash = rel.find('/', slash + 1)) {
    const std::string folder = rel.substr(0, slash);
    struct stat st;
    int r = beneath_lstat(dest_root(in), folder, walk_links_inside, &st);
    if (r == 0 && S_ISDIR(st.st_mode)) continue;
    if (r == 0) {
      if (!takes_known) takes = manifest_takes(in, false);
      takes_known = true;
      if (!takes.count(folder)) {
        if (S_ISLNK(st.st_mode)) continue;  // followed: the next step judges where it leads
        way->path = in.dest_dir_path + folder;
        way->users.push_back(folder);
        return 0;
      }
      thread_log() << "Removing " << in.dest_dir_path << folder
                   << ": a folder of the manifest takes its place.\n";
      if ((r = beneath_unlink(dest_root(in), folder, walk_links_inside)) != 0) return r;
    } else if (r != ENOENT) {
      return r;
    }
    r = beneath_mkdir(dest_root(in), folder, 0755);
    if (r != 0) return r;
  }
  return 0;
}

// The alert that stops an install rather than delete what is the user's.
void show_in_the_way(install_state& in, const in_the_way& way) {
  std::string what = way.users.front() == way.path.substr(in.dest_dir_path.size())
                         ? way.path
                         : in.dest_dir_path + way.users.front();
  if (way.users.size() > 1) what += " and " + std::to_string(way.users.size() - 1) + " more";
  const std::string l2 = "In the way: " + way.path;
  const std::string l3 = "Move this out of the installation folder: " + what;
  xer << "Not installing over " << way.path << ": it holds files that are not the manifest's.\n";
  install_failure(in,
                  "The installer cannot put a new file in place: something of yours is in the way.",
                  l2.c_str(), l3.c_str(), "Then install again.", __FILE__, __LINE__);
}

}  // namespace

// [SECTION] Unpacking

namespace {

// Where one file goes: its folder and leaf as the manifest spells them, and
// the same beneath the destination when it lies there.
struct unpack_target {
  std::string folder;      // the destination's folder, ending in '/'
  std::string leaf;        // the file's name in it
  std::string rel;         // the destination, beneath the destination folder
  bool under_dest;         // false: the destination lies outside it
  std::string folder_rel;  // the folder, beneath the destination folder
  std::string scratch;     // the scratch folder beside the file, from the root
};

unpack_target target_of(const unpack_job& job) {
  const std::string& destination = job.destination;
  unpack_target t;
  // A trailing slash belongs to the leaf, not to the folder.
  size_t search_end = destination.size() > 1 ? destination.size() - 2 : 0;
  size_t slash = destination.rfind('/', search_end);
  t.folder = slash == std::string::npos ? "" : destination.substr(0, slash + 1);
  t.leaf = destination.substr(t.folder.size());
  t.under_dest = dest_rel(*job.in, destination, &t.rel);
  t.folder_rel = t.under_dest ? t.rel.substr(0, t.rel.size() - t.leaf.size()) : "";
  t.scratch = app_path + t.folder + job.scratch;
  return t;
}

void check_entries(unpack_job& job, const unpack_target& t) {
  std::vector<zip_entry_info> entries;
  if ((job.code = zip_list_entries(job.archive, entries)) != 0)
    job.problem = "an archive that cannot be read";
  else
    job.problem = entries_problem(entries, t.leaf, job.want);
}

// The folders on the way are made (or made free) beneath the destination; a
// way that leads out of it is refused. 0, or an errno.
int reach_folder(const install_state& in, const unpack_target& t, in_the_way* way) {
  if (!t.under_dest) return EXDEV;
  int code = make_way(in, t.rel, way);
  if (code != 0 || !way->users.empty()) return code;
  std::string ignored;
  const int parent = beneath_open_parent(dest_root(in), t.rel, walk_links_inside, &ignored);
  if (parent < 0) return -parent;
  close(parent);
  return 0;
}

void make_room(unpack_job& job, const unpack_target& t) {
  job.code = reach_folder(*job.in, t, &job.way);
  if (!job.way.users.empty()) {
    job.problem = "something of the user's is in the way";
  } else if (job.code == EXDEV || job.code == ELOOP) {
    job.code = EACCES;
    job.problem = "a target outside the destination";
  } else if (job.code != 0) {
    job.problem = "its folder could not be made";
  }
}

// The job's turn at changing the tree's shape.
std::unique_lock<std::mutex> tree_turn(const unpack_job& job) {
  return job.tree_lock ? std::unique_lock<std::mutex>(*job.tree_lock)
                       : std::unique_lock<std::mutex>();
}

// Removes what the job put in its scratch folder, then the folder: nothing
// else, whatever its name.
void clear_scratch(const unpack_job& job, const unpack_target& t) {
  const std::string root = dest_root(*job.in), scratch = t.folder_rel + job.scratch;
  for (const std::string& name : {t.leaf, "._" + t.leaf, std::string(kScratchNote)})
    beneath_unlink(root, scratch + name, walk_links_inside);
  beneath_unlink(root, scratch, walk_links_inside);
}

// The note that tells a leftover of this job from a folder of the user's.
// A file of the note's own name goes without one: such a leftover stays.
int write_note(const unpack_job& job, const unpack_target& t) {
  if (t.leaf == kScratchNote) return 0;
  std::string name;
  const int folder = beneath_open_parent(
      dest_root(*job.in), t.folder_rel + job.scratch + kScratchNote, walk_links_inside, &name);
  if (folder < 0) return -folder;
  const int fd =
      openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  int r = fd < 0 ? errno : 0;
  close(folder);
  const std::string text = kScratchNoteHead + t.leaf;
  if (r == 0) {
    const ssize_t n = write(fd, text.data(), text.size());
    if (n != static_cast<ssize_t>(text.size())) r = n < 0 ? errno : ENOSPC;
  }
  if (fd >= 0 && close(fd) != 0 && r == 0) r = errno;
  return r;
}

// The job's scratch folder, made by the job in its turn (a folder being
// cleared never loses it half-way): a name taken already, by anything, is
// passed over for the next. True when it is made, with its note.
bool make_scratch(unpack_job& job, unpack_target* t) {
  std::unique_lock<std::mutex> turn = tree_turn(job);
  const std::string first = job.scratch.substr(0, job.scratch.size() - 1);
  for (int k = 0; k < kScratchTries; ++k) {
    const std::string name = k ? first + "-" + std::to_string(k) : first;
    job.code = beneath_mkdir(dest_root(*job.in), t->folder_rel + name, 0700);
    if (job.code == EEXIST) continue;
    if (job.code != 0) break;
    job.scratch = name + "/";
    t->scratch = app_path + t->folder + job.scratch;
    if ((job.code = write_note(job, *t)) == 0) return true;
    clear_scratch(job, *t);
    break;
  }
  job.problem = "no scratch folder";
  return false;
}

// True when the archive lies unpacked in the scratch folder.
bool unpack_to_scratch(unpack_job& job, const unpack_target& t) {
  if ((job.code = zip_to_file(job.archive, t.folder + job.scratch)) != 0)
    job.problem = "the archive did not unpack";
  return job.problem.empty();
}

// Whether the unpacked file is what the manifest wants.
void judge_unpacked(unpack_job& job, const unpack_target& t) {
  job.problem = unpacked_problem(*job.in, t.scratch + t.leaf, t.folder_rel, job.want);
}

// A folder where the file goes (a release that turns a folder into a file or
// a link) goes first, when all of it is the manifest's. True when the place
// is free for the file.
bool clear_old_folder(unpack_job& job, const unpack_target& t) {
  const install_state& in = *job.in;
  struct stat st;
  if (beneath_lstat(dest_root(in), t.rel, walk_links_inside, &st) != 0 || !S_ISDIR(st.st_mode))
    return true;
  job.code = clear_folder(in, t.rel, manifest_takes(in, true), job.placed_ids, &job.way);
  if (!job.way.users.empty())
    job.problem = "something of the user's is in the way";
  else if (job.code != 0)
    job.problem = "it could not take the old folder's place";
  return job.problem.empty();
}

// Whether the place holds what the decisions judged there: nothing, a
// folder (which gives way only when all of it is the manifest's), the copy
// the examination hashed, one the user agreed to replace, or a file this run
// placed. Anything else came since (a copy the user changed, or the user's
// file that a link this run placed now leads to): not replaced unasked.
bool place_is_as_judged(unpack_job& job, const unpack_target& t) {
  struct stat st;
  if (beneath_lstat(dest_root(*job.in), t.rel, walk_links_inside, &st) != 0 || S_ISDIR(st.st_mode))
    return true;  // nothing there, or what the move itself will report
  job.found = identity_of(st);
  if (job.found == job.judged || job.found == job.accept ||
      (job.placed_ids && job.placed_ids->count(job.found)))
    return true;
  job.changed = true;
  job.problem = "its place holds something other than the copy the install judged";
  return false;
}

// Into place: the file, and its fork where the volume keeps forks beside
// files. What was placed is taken as it stands, in the same turn, for the
// end of the install and for the jobs after this one.
void move_into_place(unpack_job& job, const unpack_target& t) {
  const std::string root = dest_root(*job.in);
  job.code = beneath_rename(root, t.folder_rel + job.scratch + t.leaf, t.rel, walk_links_inside);
  if (job.code != 0) {
    job.problem = "it could not take the old file's place";
    return;
  }
  struct stat st;
  if (beneath_lstat(root, t.rel, walk_links_inside, &st) == 0) {
    job.placed = identity_of(st);
    if (job.placed_ids) job.placed_ids->insert(job.placed);
  }
  beneath_rename(root, t.folder_rel + job.scratch + "._" + t.leaf, t.folder_rel + "._" + t.leaf,
                 walk_links_inside);
}

// The unpacked file's mode is set on the file opened without following it,
// never on a link or what one leads to: a program of a Mac bundle is made
// runnable here, once its unpacking proved good, before it takes its place.
void make_runnable(unpack_job& job, const unpack_target& t) {
  if (job.destination.find("Contents/MacOS/") == std::string::npos) return;
  const int fd =
      beneath_open_read(dest_root(*job.in), t.folder_rel + job.scratch + t.leaf, walk_links_inside);
  job.chmod_result = fd < 0 ? -fd : fchmod(fd, 0755) == 0 ? 0 : errno;
  if (fd >= 0) close(fd);
}

// The scratch folder is made first and goes last, whatever happened in
// between. A link is judged by where it leads in the tree as it is, so in
// the job's turn; a file's size and MD5, beside the other jobs.
void unpack_and_place(unpack_job& job, unpack_target t) {
  if (!make_scratch(job, &t)) return;
  if (unpack_to_scratch(job, t)) {
    struct stat st;
    const bool link = lstat((t.scratch + t.leaf).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (!link) judge_unpacked(job, t);
    if (!link && job.problem.empty()) make_runnable(job, t);
    std::unique_lock<std::mutex> turn = tree_turn(job);
    if (link) judge_unpacked(job, t);
    if (job.problem.empty() && place_is_as_judged(job, t) && clear_old_folder(job, t))
      move_into_place(job, t);
  }
  std::unique_lock<std::mutex> turn = tree_turn(job);
  clear_scratch(job, t);
}

// The archive goes unless it is kept, or its file is asked about (it stays
// for the answer).
void finish_file(unpack_job& job) {
  if (!job.keep_archive && !job.changed) job.delete_result = delete_file(job.archive);
}

}  // namespace

void unpack_job::run() {
  log_capture capture(log);
  const unpack_target t = target_of(*this);
  check_entries(*this, t);
  if (problem.empty()) {
    std::unique_lock<std::mutex> turn = tree_turn(*this);
    make_room(*this, t);
  }
  if (problem.empty()) unpack_and_place(*this, t);
  finish_file(*this);
}

void unpack_job::failed(const std::string& what) {
  thrown = what;
  problem = "the unpacking stopped: " + what;
  const unpack_target t = target_of(*this);
  if (t.under_dest) clear_scratch(*this, t);
  if (!keep_archive) delete_result = delete_file(archive);
}

std::unique_ptr<unpack_job> make_unpack_job(const install_state& in, int file,
                                            const std::string& archive,
                                            const std::string& destination,
                                            const file_version_struct& want) {
  auto job = std::make_unique<unpack_job>();
  job->in = &in;
  job->file = file;
  job->archive = archive;
  job->destination = destination;
  job->source = archive;
  job->want = want;
  if (file >= 0 && static_cast<size_t>(file) < in.examined.size()) job->judged = in.examined[file];
  job->keep_archive = in.is_dvd != 0;
  job->log_actions = in.stg.log_actions != 0;
  return job;
}

// [SECTION] Reporting

// The jobs out and what they share (the queue's own section is below).
// The lock and what it guards come before the jobs, which take it while
// they run: they are destroyed after them.
struct unpack_queue {
  std::string token = scratch_token();  // the run's, in its scratch folders' names
  std::mutex tree_lock;
  std::set<file_identity> placed_ids;  // under tree_lock
  std::vector<char> scratch_in_use;    // by slot
  THREAD_ordered_jobs<unpack_job> jobs;
  // Jobs not handed over yet: their place lies beneath a file of this
  // install that is not in place yet.
  std::vector<std::unique_ptr<unpack_job>> held;

  // What a job leaves of the temporary folder when it is never taken back:
  // an archive held, or one kept for a question never asked.
  ~unpack_queue() {
    for (const std::unique_ptr<unpack_job>& job : held)
      if (!job->keep_archive) delete_file(job->archive);
    while (!jobs.empty()) unpack_discard_archive(*jobs.pop());
  }
};

namespace {

unpack_queue& queue_of(install_state& in) {
  if (!in.unpacking) in.unpacking.reset(new unpack_queue);
  return *in.unpacking;
}

}  // namespace

void unpack_discard_archive(const unpack_job& job) {
  if (job.changed && !job.keep_archive) delete_file(job.archive);
}

namespace {

// Logs the problem and shows its alert; a failure of the file system or
// something of the user's in the way stops the install, while a bad archive
// is the mirror's and may be fetched again.
unpack_result report_problem(install_state& in, const unpack_job& job) {
  xer << "Not installing " << job.destination << " from " << job.archive << ": " << job.problem
      << ".\n";
  if (job.changed) return unpack_changed;
  if (!job.way.users.empty()) {
    show_in_the_way(in, job.way);
    return unpack_failed;
  }
  if (job.thrown.empty() && !local_failure(job.code)) return unpack_bad_archive;
  const std::string l2 = "Error: " + (job.thrown.empty() ? error_str(job.code) : job.thrown);
  const std::string l3 = "Compressed File: " + job.archive;
  const std::string l4 = "Destination: " + job.destination;
  // Source and line as the message has always carried them.
  install_failure(in, "The installer cannot extract a file.", l2.c_str(), l3.c_str(), l4.c_str(),
                  "Installer-f/utils", 390);
  return unpack_failed;
}

}  // namespace

unpack_result unpack_report(install_state& in, const unpack_job& job) {
  xer << job.log.str();
  const unpack_result result = job.problem.empty() ? unpack_done : report_problem(in, job);
  if (job.log_actions) {
    xer << "EXPANDING file " << job.destination << ", with result=" << job.code << ".\n";
    xer << "CHMODING  file " << job.destination << ", with result=" << job.chmod_result << ".\n";
    if (!job.keep_archive)
      xer << "DELETING  file " << job.archive << ", with result=" << job.delete_result << ".\n";
  }
  return result;
}

unpack_result extract_and_delete_file(install_state& in, const std::string& archive,
                                      const std::string& destination,
                                      const file_version_struct& want, int file,
                                      file_identity accept, unpack_outcome* done) {
  std::unique_ptr<unpack_job> job = make_unpack_job(in, file, archive, destination, want);
  job->accept = accept;
  unpack_queue& q = queue_of(in);
  // A slot no job out holds: its folder's name is this job's alone.
  job->scratch = scratch_name(q.token, static_cast<int>(q.scratch_in_use.size()));
  job->placed_ids = &q.placed_ids;
  job->run();
  if (done) *done = {job->found, job->placed};
  return unpack_report(in, *job);
}

// [SECTION] The queue

// The jobs out finish (they may be placing a file), each deleting its
// archive as it always does.
void unpack_queue_end::operator()(unpack_queue* q) const { delete q; }

namespace {

int jobs_allowed(const install_state& in) {
  return in.unpacks_out_limit > 0 ? in.unpacks_out_limit : std::max(1, 2 * THREAD_worker_count());
}

}  // namespace

bool unpack_room(const install_state& in) {
  return !in.unpacking || static_cast<int>(in.unpacking->jobs.size()) < jobs_allowed(in);
}

void unpack_hand_over(install_state& in, std::unique_ptr<unpack_job> job, bool here) {
  unpack_queue& q = queue_of(in);
  // Two jobs out never start from one scratch folder name.
  size_t slot = 0;
  while (slot < q.scratch_in_use.size() && q.scratch_in_use[slot]) ++slot;
  if (slot == q.scratch_in_use.size()) q.scratch_in_use.push_back(0);
  q.scratch_in_use[slot] = 1;
  job->scratch_slot = static_cast<int>(slot);
  job->scratch = scratch_name(q.token, job->scratch_slot);
  job->tree_lock = &q.tree_lock;
  job->placed_ids = &q.placed_ids;
  q.jobs.submit(std::move(job), here);
}

unpack_job* unpack_next_result(install_state& in) {
  if (!in.unpacking) return nullptr;
  in.unpacking->jobs.drain();
  return in.unpacking->jobs.front_done();
}

std::unique_ptr<unpack_job> unpack_pop(install_state& in) {
  unpack_queue& q = *in.unpacking;
  std::unique_ptr<unpack_job> job = q.jobs.pop();
  q.scratch_in_use[job->scratch_slot] = 0;
  return job;
}

void unpack_drop_all(install_state& in) {
  if (!in.unpacking) return;
  while (!in.unpacking->jobs.empty()) {
    const std::unique_ptr<unpack_job> job = in.unpacking->jobs.pop();
    unpack_discard_archive(*job);
    xer << job->log.str() << "The install had stopped: " << job->destination;
    if (job->problem.empty())
      xer << " was put in place, not counted.\n";
    else
      xer << " not installed from " << job->archive << ": " << job->problem << ".\n";
  }
  in.unpacking.reset();
}

size_t unpack_pending(const install_state& in) {
  return in.unpacking ? in.unpacking->jobs.size() + in.unpacking->held.size() : 0;
}

void unpack_hold(install_state& in, std::unique_ptr<unpack_job> job) {
  queue_of(in).held.push_back(std::move(job));
}

void unpack_release(install_state& in, const std::function<bool(const unpack_job&)>& ready) {
  if (!in.unpacking) return;
  std::vector<std::unique_ptr<unpack_job>>& held = in.unpacking->held;
  // In the order they were held, so that the results come back in it.
  for (size_t k = 0; k < held.size();) {
    if (!ready(*held[k])) {
      ++k;
      continue;
    }
    std::unique_ptr<unpack_job> job = std::move(held[k]);
    held.erase(held.begin() + static_cast<std::ptrdiff_t>(k));
    const bool here = job->here;
    unpack_hand_over(in, std::move(job), here);
  }
}

std::unique_lock<std::mutex> unpack_tree_turn(install_state& in) {
  return in.unpacking ? std::unique_lock<std::mutex>(in.unpacking->tree_lock)
                      : std::unique_lock<std::mutex>();
}

int unpack_ended_fd(const install_state& in) {
  return in.unpacking && !in.unpacking->jobs.empty() ? in.unpacking->jobs.ended_fd() : -1;
}
