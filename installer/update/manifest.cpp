// Reading the manifest against the destination, in one call or in slices of
// a frame: the file's mapping and scan, the examination of every installed
// copy by its MD5 (on the worker threads as well as the main one, results in
// manifest order), the sums of what the install downloads and occupies, and
// the small queries on the histories.
//
// Contents
//   [SECTION] Hashing an installed copy
//   [SECTION] The reading under way
//   [SECTION] Reading
//   [SECTION] Queries
//   [SECTION] Writing
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
#include "Files/beneath.h"
#include "Files/io_utils.h"
#include "installer/update/hooks.h"
#include "installer/update/install.h"

// [SECTION] Hashing an installed copy

// No letter-case repair: the program that uses the installation looks its
// files up by their exact names, so a file spelled otherwise is not there.
file_identity identity_of(const struct stat& st) {
  // FNV-1a over the fields: a place keeps its identity only while nothing
  // replaces, rewrites, renames or re-modes what stands there.
  file_identity h = 14695981039346656037ull;
  auto mix = [&h](uint64_t v) {
    for (int k = 0; k < 8; ++k) {
      h ^= (v >> (8 * k)) & 0xff;
      h *= 1099511628211ull;
    }
  };
  mix(st.st_dev);
  mix(st.st_ino);
  mix(st.st_mode & S_IFMT);
  mix(static_cast<uint64_t>(st.st_size));
  mix(static_cast<uint64_t>(st.st_mtim.tv_sec));
  mix(static_cast<uint64_t>(st.st_mtim.tv_nsec));
  mix(static_cast<uint64_t>(st.st_ctim.tv_sec));
  mix(static_cast<uint64_t>(st.st_ctim.tv_nsec));
  return h == kNothingThere ? 1 : h;
}

bool installed_md5(const std::string& path, std::string* out, const std::string& root,
                   const std::atomic<bool>* stop, file_identity* seen) {
  if (seen) *seen = kNothingThere;
  file_identity id = kNothingThere;
  // Beneath the root, a copy reached through a link that leads outside is
  // not read: it counts as missing.
  const bool beneath = !root.empty() && path.compare(0, root.size(), root) == 0;
  const std::string rel = beneath ? path.substr(root.size()) : "";
  struct stat st;
  if ((beneath ? beneath_lstat(root, rel, walk_links_inside, &st) : lstat(path.c_str(), &st)) != 0)
    return false;
  MD5_CTX ctx;
  MD5Init(&ctx);
  if (S_ISLNK(st.st_mode)) {
    std::string text;
    if ((beneath ? beneath_read_link(root, rel, &text) : UTL_read_link(path.c_str(), &text)) != 0 ||
        text.empty())
      return false;
    MD5UpdateWide(&ctx, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    id = identity_of(st);
  } else if (S_ISREG(st.st_mode)) {
    // Whatever took the file's place since the lstat, a FIFO must not hold
    // the examination.
    int fd = beneath ? beneath_open_read(root, rel, walk_links_inside)
                     : UTL_open_regular(path.c_str(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat opened;
    if (fstat(fd, &opened) == 0) id = identity_of(opened);
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    const size_t kChunk = 256 * 1024;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    for (;;) {
      if (stop && stop->load(std::memory_order_relaxed)) {
        close(fd);
        return false;
      }
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
  if (seen) *seen = id;
  return true;
}

// [SECTION] The reading under way

namespace {

enum read_stage { stage_scanning = 0, stage_examining = 1 };

// Lines scanned between two looks at the clock: well under a millisecond.
const size_t kLinesPerSlice = 2048;
// Files summed between two looks at the clock.
const size_t kSumsPerSlice = 4096;

}  // namespace

// One reading: the mapped manifest and its scan, then the examination of
// the destination. Every thread takes the next file by an atomic counter and
// writes only that file's sig_have; the main thread sums the results in
// manifest order, so the sums and the progress come out the same however
// many threads hashed. Nothing but the results is kept per file.
struct manifest_reading {
  install_state* in = nullptr;
  int mode = dir_read_install;
  bool blocking = false;  // one call: the progress goes through the engine's hook
  int stage = stage_scanning;
  std::string path, title;
  std::unique_ptr<xmap_class> file;
  std::unique_ptr<manifest_scanner> scanner;

  std::string local_prefix;  // where the manifest's paths land, fixed at the start
  std::string root;          // the destination: nothing outside it is read
  size_t count = 0;
  std::unique_ptr<std::atomic<unsigned char>[]> done;
  std::atomic<size_t> next{0};
  std::atomic<bool> stop{false};
  std::vector<THREAD_call*> calls;
  std::vector<char> returned;
  size_t summed = 0;  // files examined and summed, in manifest order
  size_t step = 1;    // the panel is drawn when summed passes a multiple of this
  size_t last_drawn = static_cast<size_t>(-1);
  float down_req = 0.0f, disk_req = 0.0f;
  bool has_exes = false;

  std::string local_path(size_t i) const {
    const std::string& path = in->sim_info[i].back().path;
    const size_t slash = path.find('/');
    return slash == std::string::npos ? local_prefix + path : local_prefix + path.substr(slash + 1);
  }

  // Examines one more file; false when none is left to take.
  bool take_one() {
    if (stop.load(std::memory_order_relaxed)) return false;
    size_t i = next.fetch_add(1, std::memory_order_relaxed);
    if (i >= count) return false;
    std::string sig;
    in->sim_info[i].back().sig_have =
        installed_md5(local_path(i), &sig, root, &stop, &in->examined[i]) ? sig : "NONE";
    done[i].store(1, std::memory_order_release);
    return true;
  }

  // Sums the files examined so far in manifest order, until the deadline.
  void sum(uint64_t deadline) {
    for (size_t k = 0; summed < count && done[summed].load(std::memory_order_acquire); ++k) {
      if (k % kSumsPerSlice == kSumsPerSlice - 1 && xtim_class::microsecs() >= deadline) return;
      const size_t i = summed++;
      file_version_struct& r = in->sim_info[i].back();
      r.same = r.sig_have == r.sig_want ? 1 : 0;
      const int last = static_cast<int>(in->sim_info[i].size()) - 1;
      if (r.sig_want != "GONE" && !r.same && want_this_f(*in, static_cast<int>(i), last, r.type)) {
        down_req += r.zip_size;
        disk_req += r.ext_size;
        has_exes |= r.platform == platform_mac || r.platform == platform_windows ||
                    r.platform == platform_linux;
      }
    }
  }

  // The hook's panel, each time the files summed pass a multiple of step,
  // naming the next file.
  void draw_progress() {
    size_t mark = summed / step * step;
    if (!blocking || mark >= count || mark == last_drawn) return;
    last_drawn = mark;
    g_engine_hooks.dir_progress(0, static_cast<float>(mark), static_cast<float>(count),
                                stage_examining, title, local_path(mark));
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

// A reading let go of stops first: its workers write into the records.
void manifest_reading_end::operator()(manifest_reading* r) const {
  if (!r) return;
  r->stop.store(true);
  r->wait_workers(UINT64_MAX);
  delete r;
}

namespace {

using reading = manifest_reading;

void* examine_worker(void* arg) {
  reading* r = static_cast<reading*>(arg);
  while (r->take_one()) {
  }
  return nullptr;
}

void scan_progress(void* context, size_t offset, size_t size, const std::string& name) {
  g_engine_hooks.dir_progress(0, static_cast<float>(offset), static_cast<float>(size),
                              stage_scanning, *static_cast<const std::string*>(context), name);
}

// The file is let go of once scanned; the workers start on the destination.
void start_examination(reading* r) {
  r->scanner.reset();
  r->file.reset();
  r->stage = stage_examining;
  r->local_prefix = app_path + r->in->dest_dir_path;
  r->root = r->local_prefix;
  r->count = r->in->sim_info.size();
  r->in->examined.assign(r->count, kNothingThere);
  r->done.reset(new std::atomic<unsigned char>[r->count ? r->count : 1]);
  for (size_t i = 0; i < r->count; ++i) r->done[i].store(0, std::memory_order_relaxed);
  r->step = r->count / 200 > 1 ? r->count / 200 : 1;
  // A handful of files is not worth waking the workers for.
  const size_t kWorthSharing = 8;
  if (r->count >= kWorthSharing) {
    int workers = THREAD_worker_count();
    for (int k = 0; k < workers; ++k) r->calls.push_back(THREAD_run_async(examine_worker, r));
  }
  r->returned.assign(r->calls.size(), 0);
}

// One slice of the examination; true once every file is examined and the
// sums are set.
bool examine_slice(reading* r, uint64_t deadline) {
  r->draw_progress();
  // Without workers, at least one file a call, however short the time. With
  // them the frame only sums: one large file would hold it for seconds.
  bool more = r->calls.empty() && r->take_one();
  while (more && xtim_class::microsecs() < deadline) more = r->take_one();
  r->sum(deadline);
  // Nothing left to take: the last files are still on the workers.
  if (!more && r->summed < r->count) {
    r->wait_workers(deadline);
    r->sum(deadline);
  }
  r->draw_progress();
  if (r->summed < r->count) return false;
  r->wait_workers(UINT64_MAX);
  r->in->stg.down_req = r->down_req;
  r->in->stg.disk_req = r->disk_req;
  if (r->has_exes) r->in->this_install_has_exes = 1;
  return true;
}

void end_reading(install_state& in) { in.reading.reset(); }

// Empties what the last reading left, maps the file and tests its header;
// dir_read when the scan can begin, with the install's reading set.
dir_state_code begin_reading(install_state& in, const std::string& path, const std::string& title,
                             int mode, bool blocking) {
  dir_examine_cancel(in);
  in.deleted_files.clear();
  in.stg.down_req = 0.0f;
  in.stg.disk_req = 0.0f;
  in.sim_info.clear();
  in.sim_info.shrink_to_fit();
  in.examined.clear();
  in.examined.shrink_to_fit();
  in.manifest_problem.clear();

  std::unique_ptr<reading, manifest_reading_end> r(new reading);
  r->in = &in;
  r->mode = mode;
  r->blocking = blocking;
  r->path = path;
  r->title = title;
  r->file.reset(new xmap_class(path.c_str()));
  if (!r->file->map_begin)
    __MACIBM_alert(wind_main, "I tried to read a directory file that does not exist!",
                   "The file is:", path.c_str(), "", t_exit, "Installer-f/utils", 628);

  manifest_scan_options options;
  options.dest_length = mode == dir_read_install ? in.dest_dir_path.size() : 0;
  options.drop_net_excluded = in.is_net != 0;
  options.file_lines = &in.file_lines;
  if (blocking) {
    options.progress = scan_progress;
    options.context = &r->title;
  }
  r->scanner.reset(
      new manifest_scanner(r->file->map_begin, r->file->map_end, options, in.sim_info));
  int version = 0;
  const dir_state_code result = r->scanner->begin(&in.manifest_problem, &version);
  if (result == dir_no_version) {
    xer << "The manifest " << path << " has version " << version << ", newer than we read.\n";
    return result;
  }
  if (result != dir_read) {
    xer << "The manifest " << path << " is unusable: " << in.manifest_problem << "\n";
    xer.flush();
    return result;
  }
  in.reading = std::move(r);
  return result;
}

// One slice of the scan; manifest_scan_more while lines remain, then the
// scan's result (the reading ends there unless an examination follows).
int scan_slice(reading* r, uint64_t deadline, size_t lines) {
  install_state& in = *r->in;
  int result;
  do {
    result = r->scanner->step(lines, &in.manifest_problem);
  } while (result == manifest_scan_more && xtim_class::microsecs() < deadline);
  if (result == manifest_scan_more) return result;
  if (result != dir_read) {
    xer << "The manifest " << r->path << " is unusable: " << in.manifest_problem << "\n";
    xer.flush();
    end_reading(in);
  } else if (r->mode == dir_read_install) {
    start_examination(r);
  } else {
    end_reading(in);
  }
  return result;
}

}  // namespace

void dir_examine_cancel(install_state& in) { in.reading.reset(); }

void dir_read_progress(const install_state& in, int* stage, double* value, double* total,
                       std::string* detail) {
  const reading* r = in.reading.get();
  if (stage) *stage = r ? r->stage : -1;
  double v = 0, t = 0;
  std::string d;
  if (r && r->stage == stage_scanning) {
    v = static_cast<double>(r->scanner->offset());
    t = static_cast<double>(r->scanner->size());
    d = r->scanner->name();
  } else if (r) {
    v = static_cast<double>(r->summed);
    t = static_cast<double>(r->count);
    if (r->summed < r->count) d = r->local_path(r->summed);
  }
  if (value) *value = v;
  if (total) *total = t;
  if (detail) *detail = d;
}

// [SECTION] Reading

dir_state_code read_directory(install_state& in, const std::string& path, const std::string& title,
                              int mode) {
  dir_state_code result = begin_reading(in, path, title, mode, true);
  if (result != dir_read) return result;
  result = static_cast<dir_state_code>(scan_slice(in.reading.get(), UINT64_MAX, SIZE_MAX));
  if (result != dir_read || mode != dir_read_install) return result;
  // A twentieth of a second per round keeps the panel moving, and the
  // progress hook keeps the window's events flowing between rounds.
  while (!examine_slice(in.reading.get(), xtim_class::microsecs() + 50000)) {
  }
  end_reading(in);
  return result;
}

dir_state_code dir_read_step(install_state& in, const std::string& path, const std::string& title,
                             double seconds) {
  const uint64_t deadline = xtim_class::microsecs() + static_cast<uint64_t>(seconds * 1e6);
  if (!in.reading) {
    const dir_state_code result = begin_reading(in, path, title, dir_read_install, false);
    if (result != dir_read) return result;
  }
  if (in.reading->stage == stage_scanning) {
    const int result = scan_slice(in.reading.get(), deadline, kLinesPerSlice);
    if (result == manifest_scan_more) return dir_fetched;
    if (result != dir_read) return static_cast<dir_state_code>(result);
  }
  if (!examine_slice(in.reading.get(), deadline)) return dir_fetched;
  end_reading(in);
  return dir_read;
}

// [SECTION] Queries

int want_this_f(const install_state& in, int history, int record, int type) {
  if (history < 0 || history >= static_cast<int>(in.sim_info.size())) return 0;
  const file_history_struct& h = in.sim_info[history];
  if (record < 0 || record >= static_cast<int>(h.size())) return 0;
  const file_version_struct& r = h[record];
  if (r.type != type) return 0;
  const int os = in.stg.download_os;
  return r.platform == platform_all || r.platform == os ||
                 (r.platform == platform_linux_with_all && os == platform_linux)
             ? 1
             : 0;
}

void chop_platform(std::string& path, int platform) {
  size_t slash = path.find('/');
  if (slash == std::string::npos)
    __MACIBM_alert(wind_main, "Could not find the dir char!", path.c_str(), "", "", t_exit,
                   "Installer-f/make_installer", 180);
  static const char* const kPrefixes[4] = {"ALL_os", "APL_os", "IBM_os", "LIN_os"};
  std::string prefix = platform >= 0 && platform <= 3 ? kPrefixes[platform] : "";
  path = prefix + path.substr(slash);
}

void trim_dest_folder(std::string& path) {
  size_t slash = path.find('/');
  if (slash != std::string::npos) path.erase(0, slash + 1);
}

std::string local_path_of(const install_state& in, const file_version_struct& record) {
  std::string rest = record.path;
  trim_dest_folder(rest);
  return in.dest_dir_path + rest;
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
