// Reading the manifest against the destination: the file's mapping, the
// examination of every installed copy by its MD5 (on the worker threads as
// well as the main one, results in manifest order), the sums of what the
// install downloads and occupies, and the small queries on the histories.
#include "installer/update/manifest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "core/alert.h"
#include "core/clock.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "core/util/md5.h"
#include "Files/io_utils.h"
#include "installer/sizes.h"
#include "installer/start.h"
#include "installer/update/transfer.h"

std::vector<file_history_struct> sim_info;
dir_progress_fn dir_progress_hook = nullptr;
std::string manifest_problem;

// [SECTION] Hashing an installed copy

// No letter-case repair: the program that uses the installation looks its
// files up by their exact names, so a file spelled otherwise is not there.
bool installed_md5(const std::string& path, std::string* out) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  MD5_CTX ctx;
  MD5Init(&ctx);
  if (S_ISLNK(st.st_mode)) {
    std::string text;
    if (UTL_read_link(path.c_str(), &text) != 0 || text.empty()) return false;
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(text.data()), text.size());
  } else if (S_ISREG(st.st_mode)) {
    // Whatever took the file's place since the lstat, a FIFO must not hold
    // the examination.
    int fd = UTL_open_regular(path.c_str(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) return false;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const size_t kChunk = 256 * 1024;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    for (;;) {
      ssize_t n = read(fd, buffer.get(), kChunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        close(fd);
        return false;
      }
      if (n == 0) break;
      MD5UpdateWide(&ctx, buffer.get(), static_cast<uint64_t>(n));
    }
    close(fd);
  } else {
    return false;
  }
  MD5Final(&ctx);
  *out = MD5HexDigest(ctx);
  return true;
}

// [SECTION] The examination

namespace {

// One examination of a destination. Every thread takes the next file by an
// atomic counter and writes only that file's result; the main thread reads
// the results in manifest order, so the sums and the progress come out the
// same however many threads hashed.
struct examination {
  std::vector<std::string> paths;
  std::vector<std::string> sigs;
  std::unique_ptr<std::atomic<unsigned char>[]> done;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  std::vector<THREAD_call*> calls;
  std::vector<char> returned;
  size_t prefix = 0;  // files done in manifest order
  size_t step = 1;    // the panel is drawn when the prefix passes a multiple of this
  size_t last_drawn = static_cast<size_t>(-1);
  std::string title;

  size_t size() const { return paths.size(); }

  // Examines one more file; false when none is left to take.
  bool take_one() {
    if (stop.load(std::memory_order_relaxed)) return false;
    size_t i = next.fetch_add(1, std::memory_order_relaxed);
    if (i >= size()) return false;
    std::string sig;
    sigs[i] = installed_md5(paths[i], &sig) ? sig : "NONE";
    done[i].store(1, std::memory_order_release);
    return true;
  }

  void advance_prefix() {
    while (prefix < size() && done[prefix].load(std::memory_order_acquire)) ++prefix;
  }

  // The panel, each time the files done in order pass a multiple of step,
  // naming the next file.
  void draw_progress() {
    size_t mark = prefix / step * step;
    if (!dir_progress_hook || mark >= size() || mark == last_drawn) return;
    last_drawn = mark;
    dir_progress_hook(0, static_cast<float>(mark), static_cast<float>(size()), 1, title,
                      paths[mark]);
  }

  // Waits for the worker calls, at most until the deadline (microseconds);
  // true once all of them have returned.
  bool wait_workers(uint64_t deadline) {
    bool all = true;
    for (size_t k = 0; k < calls.size(); ++k) {
      if (returned[k]) continue;
      uint64_t now = xtim_class::microsecs();
      int ms = deadline == UINT64_MAX ? -1 : now >= deadline ? 0 : int((deadline - now) / 1000);
      if (THREAD_is_done(calls[k], ms)) {
        THREAD_cleanup(calls[k]);
        returned[k] = 1;
      } else {
        all = false;
      }
    }
    return all;
  }
};

examination* g_exam = nullptr;

void* examine_worker(void* arg) {
  examination* e = static_cast<examination*>(arg);
  while (e->take_one()) {
  }
  return nullptr;
}

void start_examination(const std::string& title) {
  examination* e = new examination;
  e->title = title;
  for (const file_history_struct& h : sim_info)
    e->paths.push_back(app_path + local_path_of(h.back()));
  e->sigs.assign(e->size(), "NONE");
  e->done.reset(new std::atomic<unsigned char>[e->size() ? e->size() : 1]);
  for (size_t i = 0; i < e->size(); ++i) e->done[i].store(0, std::memory_order_relaxed);
  e->step = e->size() / 200 > 1 ? e->size() / 200 : 1;
  // A handful of files is not worth waking the workers for.
  const size_t kWorthSharing = 8;
  if (e->size() >= kWorthSharing) {
    int workers = THREAD_worker_count();
    for (int k = 0; k < workers; ++k) e->calls.push_back(THREAD_run_async(examine_worker, e));
  }
  e->returned.assign(e->calls.size(), 0);
  g_exam = e;
}

// Every file's result into its history, then the sums in manifest order.
void finish_examination(examination* e) {
  for (size_t i = 0; i < e->size() && i < sim_info.size(); ++i) {
    const int last = static_cast<int>(sim_info[i].size()) - 1;
    file_version_struct& r = sim_info[i].back();
    r.sig_have = e->sigs[i];
    r.same = r.sig_have == r.sig_want ? 1 : 0;
    if (r.sig_want != "GONE" && !r.same && want_this_f(static_cast<int>(i), last, r.type)) {
      stg.down_req += static_cast<float>(r.zip_size);
      stg.disk_req += static_cast<float>(r.ext_size);
      if (r.platform == platform_mac || r.platform == platform_windows ||
          r.platform == platform_linux)
        this_install_has_exes = 1;
    }
  }
}

void scan_progress(void* context, size_t offset, size_t size, const std::string& name) {
  if (dir_progress_hook)
    dir_progress_hook(0, static_cast<float>(offset), static_cast<float>(size), 0,
                      *static_cast<const std::string*>(context), name);
}

}  // namespace

void dir_examine_cancel() {
  if (!g_exam) return;
  g_exam->stop.store(true);
  g_exam->wait_workers(UINT64_MAX);
  delete g_exam;
  g_exam = nullptr;
}

int dir_examine_step(double seconds) {
  examination* e = g_exam;
  if (!e) return 1;
  const uint64_t deadline = xtim_class::microsecs() + static_cast<uint64_t>(seconds * 1e6);
  e->draw_progress();
  // At least one file a call, however short the time.
  bool more = e->take_one();
  while (more && xtim_class::microsecs() < deadline) more = e->take_one();
  e->advance_prefix();
  // Nothing left to take: the last files are still on the workers.
  if (!more && e->prefix < e->size()) {
    e->wait_workers(deadline);
    e->advance_prefix();
  }
  e->draw_progress();
  if (e->prefix < e->size()) return 0;
  e->wait_workers(UINT64_MAX);
  finish_examination(e);
  delete e;
  g_exam = nullptr;
  return 1;
}

void dir_examine_progress(int* done, int* total, std::string* current) {
  const examination* e = g_exam;
  if (done) *done = e ? static_cast<int>(e->prefix) : 0;
  if (total) *total = e ? static_cast<int>(e->size()) : 0;
  if (current) *current = e && e->prefix < e->size() ? e->paths[e->prefix] : std::string();
}

// [SECTION] Reading

int dir_scan(const std::string& path, const std::string& title, int mode) {
  dir_examine_cancel();
  deleted_files.clear();
  stg.down_req = 0.0f;
  stg.disk_req = 0.0f;
  sim_info.clear();
  manifest_problem.clear();

  xmap_class file(path.c_str());
  if (!file.map_begin)
    __MACIBM_alert(0, "I tried to read a directory file that does not exist!",
                   "The file is:", path.c_str(), "", t_exit, "Installer-f/utils", 628);

  std::string scan_title = title;
  manifest_scan_options options;
  options.dest_length = mode == dir_read_install ? dest_dir_path.size() : 0;
  options.drop_net_excluded = is_net != 0;
  options.progress = scan_progress;
  options.context = &scan_title;
  int version = 0;
  int result =
      scan_manifest(file.map_begin, file.map_end, options, sim_info, &manifest_problem, &version);
  if (result == dir_no_version) {
    xer << "The manifest " << path << " has version " << version << ", newer than we read.\n";
    if (is_net && mode == dir_read_install) new_format(path);
    return result;
  }
  if (result != dir_read) {
    xer << "The manifest " << path << " is unusable: " << manifest_problem << "\n";
    xer.flush();
    return result;
  }
  if (mode == dir_read_install) start_examination(title);
  return result;
}

int read_directory(const std::string& path, const std::string& title, int mode) {
  int result = dir_scan(path, title, mode);
  if (result != dir_read) return result;
  // A twentieth of a second per round keeps the panel moving, and the
  // progress hook keeps the window's events flowing between rounds.
  while (!dir_examine_step(0.05)) {
  }
  return result;
}

int dir_read_step(const std::string& path, const std::string& title, double seconds) {
  if (!g_exam) {
    int result = dir_scan(path, title, dir_read_install);
    if (result != dir_read) return result;
  }
  return dir_examine_step(seconds) ? dir_read : dir_fetched;
}

// [SECTION] Queries

int want_this_f(int history, int record, int type) {
  if (history < 0 || history >= static_cast<int>(sim_info.size())) return 0;
  const file_history_struct& h = sim_info[history];
  if (record < 0 || record >= static_cast<int>(h.size())) return 0;
  const file_version_struct& r = h[record];
  if (r.type != type) return 0;
  return r.platform == platform_all || r.platform == stg.download_os ||
                 (r.platform == platform_linux_with_all && stg.download_os == platform_linux)
             ? 1
             : 0;
}

void chop_platform(std::string& path, int platform) {
  size_t slash = path.find('/');
  if (slash == std::string::npos)
    __MACIBM_alert(0, "Could not find the dir char!", path.c_str(), "", "", t_exit,
                   "Installer-f/make_installer", 180);
  static const char* const kPrefixes[4] = {"ALL_os", "APL_os", "IBM_os", "LIN_os"};
  std::string prefix = platform >= 0 && platform <= 3 ? kPrefixes[platform] : "";
  path = prefix + path.substr(slash);
}

std::string local_path_of(const file_version_struct& record) {
  std::string rest = record.path;
  trim_dest_folder(rest);
  return dest_dir_path + rest;
}

// [SECTION] Writing

std::string manifest_dir_line(const std::string& folder) { return "DIR " + folder; }

std::string manifest_file_line(const file_version_struct& r) {
  size_t slash = r.path.rfind('/');
  std::string name = slash == std::string::npos ? r.path : r.path.substr(slash + 1);
  return "FILE " + std::to_string(r.type) + " " + std::to_string(r.platform) + " " +
         std::to_string(r.version) + " " + std::to_string(r.zip_size) + " " +
         std::to_string(r.ext_size) + " " + r.sig_want + " " + name;
}
