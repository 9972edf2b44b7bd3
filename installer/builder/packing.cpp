// Packing the selected files of an install set: each file into its own
// archive on the worker threads, then, on the main thread and in scan
// order, its alerts, its sizes, its platform and its manifest lines with the
// surviving lines of its old history; and the status lines at the bottom of
// the window.
//
// Contents
//   [SECTION] One file, on any thread
//   [SECTION] Its lines, on the main thread
//   [SECTION] Every file on every core
//   [SECTION] Status lines
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <memory>
#include <utility>

#include "core/alert.h"
#include "core/constants.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "installer/builder/builder.h"
#include "installer/start.h"
#include "installer/update/manifest.h"
#include "platform/frame.h"
#include "platform/startup.h"

// [SECTION] One file, on any thread

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A master copied with a loose umask must not install programs anyone may
// change: group and world lose the write bit in the archive.
const unsigned kClearedModeBits = 022;

// The manifest's kilobyte.
const uint64_t kBytesPerKB = 1000;

// Numbers the archives' temporary names of this run.
std::atomic<unsigned> g_part_serial{0};

}  // namespace

int64_t kb_of(uint64_t bytes) { return static_cast<int64_t>(bytes / kBytesPerKB); }

std::string archive_of(const std::string& path) {
  return dst_folder + sim_name + "/" + path.substr(src_fold.size()) + ".zip";
}

// The archive is written under a hidden name beside its place and renamed
// there only when whole, so a set never holds a half-written archive. Names
// starting with "." never come from the master (its walk does not see
// them), so the hidden name cannot meet another file of the set. The name is
// a short number of this run: the file's own name with a prefix and a
// suffix would pass the file system's limit where the archive's name does
// not.
void pack_one(pack_job& job) {
  struct stat st;
  const bool link = lstat(job.path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  if (!link && contains(job.path, str_win_fold) && contains(job.path, ".exe")) {
    job.laa_code = make_file_large_address_aware(job.path);
    if (job.laa_code) return;
  }
  const size_t slash = job.archive.rfind('/');
  const std::string part =
      job.archive.substr(0, slash + 1) + "." + std::to_string(++g_part_serial) + ".part";
  job.zip_code = zip_pack_file(job.path, part, kClearedModeBits, &job.packed);
  if (job.zip_code) return;
  if (stat(part.c_str(), &st) != 0 || rename(part.c_str(), job.archive.c_str()) != 0) {
    job.zip_code = errno ? errno : EIO;
    unlink(part.c_str());
    return;
  }
  job.zip_bytes = static_cast<uint64_t>(st.st_size);
}

// [SECTION] Its lines, on the main thread

int platform_of(const std::string& folder, const std::string& path) {
  const std::string first = folder.substr(0, folder.find('/'));
  if (first == APL_str) return platform_mac;
  if (first == WIN_str) return platform_windows;
  if (first == LIN_str) return platform_linux;
  if (first != ALL_str) return -1;
  if (!contains(path, "All/Resources/plugins/")) return platform_all;
  static const struct {
    const char* a;
    const char* b;
    int platform;
  } kPluginManager[] = {
      {"All/Resources/plugins/PluginAdminLin.vyk", nullptr, platform_linux_with_all},
      {"All/Resources/plugins/PluginAdminWin.vyk", nullptr, platform_windows},
      {"All/Resources/plugins/PluginAdminMac.vyk", nullptr, platform_mac},
      {"All/Resources/plugins/NBWidgets.so", "All/Resources/plugins/VYKO.so",
       platform_linux_with_all},
      {"All/Resources/plugins/NBWidgets.dll", "All/Resources/plugins/VYKO.dll", platform_windows},
      {"All/Resources/plugins/NBWidgets.framework/NBWidgets",
       "All/Resources/plugins/VYKO.framework/VYKO", platform_mac},
      {"All/Resources/plugins/NBWidgets.shlb", "All/Resources/plugins/VYKO.shlb", platform_mac},
  };
  for (const auto& row : kPluginManager)
    if (contains(path, row.a) || (row.b && contains(path, row.b))) return row.platform;
  return platform_all;
}

void check_installer_takes(const std::string& rel, const std::string& shown) {
  const std::string problem = manifest_path_problem(rel, kLongestDestination);
  if (!problem.empty())
    builder_fatal("YOU IDIOT!", "The installer would refuse this file: " + problem + "!", shown,
                  rel, __LINE__);
  const size_t slash = rel.rfind('/');
  if (manifest_name_dropped(slash == std::string::npos ? rel : rel.substr(slash + 1)))
    builder_fatal("YOU IDIOT!",
                  "The installer drops every file so named: the name holds the words of a folder "
                  "the internet install leaves out!",
                  shown, rel, __LINE__);
}

namespace {

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    out.push_back(path.substr(start, slash - start));
    start = slash + 1;
  }
  return out;
}

// The installation's links a path meets: an installation holds the All
// folder and one platform folder of the master, laid over each other.
bool link_in_installation(const std::vector<std::string>& at, const char* platform_folder,
                          std::string* text) {
  std::string place;
  for (const std::string& part : at) place += "/" + part;
  for (const char* top : {ALL_str, platform_folder}) {
    struct stat st;
    const std::string path = src_fold + top + place;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      return UTL_read_link(path.c_str(), text) == 0;
  }
  return false;
}

// Why the installer would refuse the link at rel (below the master) in an
// installation for the system of platform_folder, or "". The installer
// judges a link by where it leads on disk, through every link on its way,
// from the place the link lands at (rel less its platform folder).
std::string link_problem(const std::string& rel, const char* platform_folder) {
  std::string text;
  if (UTL_read_link((src_fold + rel).c_str(), &text) != 0) return "it cannot be read";
  std::vector<std::string> at = components(rel);
  at.erase(at.begin());  // the platform folder
  at.pop_back();         // the link itself
  std::deque<std::string> rest;
  // Beyond this many links the system gives up too.
  const int kMostLinksFollowed = 40;
  int followed = 0;
  for (;;) {
    if (text.empty()) return "it is empty";
    if (text[0] == '/') return "it is absolute";
    if (++followed > kMostLinksFollowed) return "its links go round in a loop";
    const std::vector<std::string> parts = components(text);
    rest.insert(rest.begin(), parts.begin(), parts.end());
    bool met_link = false;
    while (!rest.empty() && !met_link) {
      const std::string part = rest.front();
      rest.pop_front();
      if (part.empty() || part == ".") continue;
      if (part == "..") {
        if (at.empty()) return "it climbs out of the installation";
        at.pop_back();
        continue;
      }
      at.push_back(part);
      if (link_in_installation(at, platform_folder, &text)) {
        at.pop_back();
        met_link = true;
      }
    }
    if (!met_link) return "";
  }
}

// A link must stay inside every installation that takes it.
void check_link(const pack_job& job, const std::string& rel, int platform) {
  std::vector<const char*> systems;
  if (platform == platform_all) systems = {APL_str, WIN_str, LIN_str};
  if (platform == platform_mac) systems = {APL_str};
  if (platform == platform_windows) systems = {WIN_str};
  if (platform == platform_linux || platform == platform_linux_with_all) systems = {LIN_str};
  for (const char* system : systems) {
    const std::string why = link_problem(rel, system);
    if (!why.empty())
      builder_fatal("YOU IDIOT!", "found a link the installer refuses: " + why + "!", job.path,
                    std::string("in an installation for ") + system, __LINE__);
  }
}

void write_line(const std::string& text) { ouf << text << "\n"; }

void record_packed(const pack_job& job) {
  // Only files are packed: the path never ends in "/", its name is never empty.
  const std::string rel = job.path.substr(src_fold.size());
  const size_t last_slash = rel.rfind('/');
  const std::string folder = last_slash == std::string::npos ? "" : rel.substr(0, last_slash + 1);

  if (job.laa_code)
    builder_fatal("Oops! We could not make a windows exe file large-address-aware!",
                  UTL_format_number("error# %f", job.laa_code), job.path, "", 260);
  if (job.zip_code)
    builder_fatal("I could not zip a file!", error_str(job.zip_code), job.path, job.archive, 292);
  if (!job.packed.note.empty()) xer << job.packed.note;

  if (folder != prev_dir) {
    prev_dir = folder;
    ouf << "\n";
    write_line(manifest_dir_line(folder));
  }

  const int platform = platform_of(folder, job.path);
  if (platform < 0)
    builder_fatal("WHAT THE FUCK? I CAN'T TELL WHAT TYPE OF FILE THIS IS!", folder,
                  folder.substr(0, folder.find('/')), "", 319);
  check_installer_takes(rel, job.path);
  if (job.packed.link) check_link(job, rel, platform);

  std::string key = rel;
  chop_platform(key, platform);
  if (!set_packed.keys.insert(key).second)
    builder_fatal("YOU IDIOT!", "Two files of this set differ only in letter case or platform!",
                  job.path, key, __LINE__);
  std::string destination = rel;
  trim_dest_folder(destination);
  set_packed.destinations[destination].push_back(platform);

  // Keys meet without regard to letter case, but an installation on this
  // platform holds a file spelt otherwise as another file: that history
  // leaves the set, so that its file is deleted, and this one starts anew.
  auto old = sim_info_index.find(key);
  std::string old_destination;
  if (old != sim_info_index.end()) {
    old_destination = sim_info[static_cast<size_t>(old->second)].front().path;
    trim_dest_folder(old_destination);
  }
  if (old != sim_info_index.end() && old_destination == destination) {
    file_history_struct& history = sim_info[static_cast<size_t>(old->second)];
    for (const file_version_struct& r : history) {
      if (r.sig_want == job.packed.md5 || r.sig_want == "GONE") continue;
      file_version_struct carried = r;
      carried.path = rel;
      write_line(manifest_file_line(carried));
      ++set_packed.lines_carried;
    }
    history.front().want_download = 0;
  }

  file_version_struct now;
  now.type = install_type;
  now.platform = platform;
  now.version = kVersionNumber;
  now.zip_size = kb_of(job.zip_bytes);
  now.ext_size = kb_of(job.packed.bytes);
  now.sig_want = job.packed.md5;
  now.path = rel;
  write_line(manifest_file_line(now));
  set_packed.last_path = rel;

  if (++num_files_com % 20 == 0)
    builder_status("reg: " + std::to_string(reg) +
                       ": total files to compress: " + std::to_string(num_files_use) +
                       ". now doing: " + std::to_string(num_files_com) + ".",
                   job.archive);
}

}  // namespace

void comp_file(const std::string& path) {
  pack_job job;
  job.path = path;
  job.archive = archive_of(path);
  pack_one(job);
  record_packed(job);
}

// [SECTION] Every file on every core

namespace {

// The jobs of one set. Every thread takes the next job by an atomic counter
// and writes only that job; the main thread reads them in scan order and
// packs too while the job it waits for is still running elsewhere. Workers
// only return codes: every alert and every line comes from the main thread.
// The largest files are taken first, so that no big file starts last and
// leaves the other cores idle at the end.
class packing_pool {
 public:
  // order: the jobs in the order they are taken.
  packing_pool(std::vector<pack_job>& jobs, std::vector<size_t> order)
      : jobs_(jobs),
        order_(std::move(order)),
        done_(new std::atomic<unsigned char>[jobs.size() + 1]) {
    for (size_t i = 0; i < jobs.size(); ++i) done_[i].store(0, std::memory_order_relaxed);
    UTL_message_queue_create(&finished_);
    const int workers = THREAD_worker_count();
    for (int k = 0; k < workers; ++k) calls_.push_back(THREAD_run_async(worker, this));
  }
  ~packing_pool() { stop(); }
  packing_pool(const packing_pool&) = delete;
  packing_pool& operator=(const packing_pool&) = delete;

  void wait_for(size_t i) {
    while (!done_[i].load(std::memory_order_acquire)) {
      // A hundred milliseconds at most: the wake-up of a job taken by a
      // worker may have been read while this thread was packing.
      if (!take_one()) UTL_message_queue_read(finished_, 100);
    }
  }

  // No job starts after this; the running ones finish (their archives are
  // whole or removed) before it returns.
  void stop() {
    stop_.store(true);
    THREAD_finish_calls(&calls_);
    if (finished_) UTL_message_queue_destroy(finished_);
    finished_ = nullptr;
  }

 private:
  bool take_one() {
    if (stop_.load(std::memory_order_relaxed)) return false;
    const size_t k = next_.fetch_add(1, std::memory_order_relaxed);
    if (k >= order_.size()) return false;
    const size_t i = order_[k];
    pack_one(jobs_[i]);
    done_[i].store(1, std::memory_order_release);
    UTL_message_queue_write(finished_, reinterpret_cast<void*>(i + 1));
    return true;
  }

  static void* worker(void* arg) {
    packing_pool* pool = static_cast<packing_pool*>(arg);
    while (pool->take_one()) {
    }
    return nullptr;
  }

  std::vector<pack_job>& jobs_;
  std::vector<size_t> order_;
  std::unique_ptr<std::atomic<unsigned char>[]> done_;
  std::atomic<size_t> next_{0};
  std::atomic<bool> stop_{false};
  UTL_message_queue* finished_ = nullptr;
  std::vector<THREAD_call*> calls_;
};

packing_pool* g_pool = nullptr;

}  // namespace

void builder_stop_packing() {
  if (g_pool) g_pool->stop();
}

void comp_all_files() {
  std::vector<pack_job> jobs(comp_files.size());
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].path = comp_files[i];
    jobs[i].archive = archive_of(comp_files[i]);
  }
  std::vector<size_t> order(jobs.size());
  std::vector<off_t> sizes(jobs.size(), 0);
  for (size_t i = 0; i < jobs.size(); ++i) {
    struct stat st;
    if (lstat(jobs[i].path.c_str(), &st) == 0) sizes[i] = st.st_size;
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return sizes[a] > sizes[b]; });
  packing_pool pool(jobs, std::move(order));
  g_pool = &pool;
  for (size_t i = 0; i < jobs.size(); ++i) {
    pool.wait_for(i);
    record_packed(jobs[i]);
  }
  pool.stop();
  g_pool = nullptr;
}

// [SECTION] Status lines

// The builder's window gets no frames while it runs: these lines are its
// only drawing and its only chance to hear the operator.
void builder_status(const std::string& line1, const std::string& line2) {
  if (!ogl_inited) return;
  OGL_fillrect(colr_white, 1.0f, 0, 0, 1024, 30);
  OGL_string(colr_dark_text, 10, 17, line1, 9999, charset_ui, align_left);
  OGL_string(colr_dark_text, 10, 7, line2, 9999, charset_ui, align_left);
  OGL_sbuff();
  // Closing the window asks the same as "q": a batch job has no other way out.
  if (MACIBM_take_one_event() == 'q' || close_requested)
    builder_fatal("You hit Q dumbass!", "", "", "", 173);
}
