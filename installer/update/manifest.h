// The manifest: every file of an install set with its history, one record per
// released version; the reader that checks it line by line and compares it
// with a destination folder; and the form in which the builder writes it.
//
// The manifest comes from whichever mirror answered, over plain HTTP, so the
// reader treats it as hostile: a path that could reach outside the
// destination, a signature that is not one, or a negative size makes the
// whole manifest unusable (the caller then tries another mirror).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "installer/update/manifest_rules.h"

struct stat;

struct install_state;

// [SECTION] Records

// One FILE line. A manifest may hold a million of them, so the small fields
// take the bytes their ranges need; a GONE signature, like "NONE", lives
// within its string.
struct file_version_struct {
  signed char type = 0;      // install type of the set that wrote the line, 0..4
  signed char platform = 0;  // a manifest_platform
  int version = 0;
  // KB of 1000 bytes, truncated; whole numbers, so that sizes from 16 GiB up
  // (past a float's exact integers) are carried and written exactly.
  int64_t zip_size = 0;
  int64_t ext_size = 0;
  std::string sig_want;    // 32 lower-case hex digits, or "GONE"
  std::string sig_have;    // the installed copy: "NONE" or 32 hex digits; last record only
  std::string path;        // DIR folder + name, starting with the platform folder
  unsigned char same = 0;  // sig_have equals sig_want
  unsigned char want_download = 0;
  unsigned char want_delete = 0;
};

// The records of one path, oldest first; the last is the file's current state.
// An install keeps its manifest's histories in file order (sim_info).
typedef std::vector<file_version_struct> file_history_struct;

// The platform field of a FILE line; download_os takes the values 1 to 3.
enum manifest_platform {
  platform_all = 0,
  platform_mac = 1,
  platform_windows = 2,
  platform_linux = 3,
  platform_linux_with_all = 6,  // a Linux file kept with the all-platform files
};

// What the reader returns, stored by the frame as stg.dir_state.
enum dir_state_code {
  dir_fetching = 0,    // also the reader's answer for an unusable manifest
  dir_fetched = 1,     // fetched and to be read
  dir_no_version = 2,  // the servers hold a newer manifest than this program reads
  dir_read = 3,
};

// How the reader is used: by the installer against its destination, or by
// the install-set builder on an old manifest (no destination is examined and
// a newer header is only a result, not the message to the user).
enum dir_read_mode {
  dir_read_install = 0,
  dir_read_builder = 1,
};

// [SECTION] Bounds

// The manifest comes from a mirror we do not control, so the archive, its
// text and its lines are capped, with room to spare over the largest set we
// ship: 250,000 files with two lines of history each come to some 40 MB of
// text (about 80 bytes a line) that zips to under 16 MB, and the caps allow
// twice that. At the line cap the records take a few hundred MB at most.
inline constexpr int64_t kManifestArchiveCap = 32ll << 20;
inline constexpr uint64_t kManifestTextCap = 80ull << 20;
inline constexpr size_t kManifestLineCap = 1000000;

// [SECTION] Reading

// The whole reading in one call into the install's sim_info, drawing its
// progress through the engine's dir_progress hook: scans path (relative to the
// application's folder, or absolute) and, to install, examines every file at
// the install's dest_dir_path. Returns dir_read, dir_no_version, or
// dir_fetching when the manifest is unusable (the reason in
// manifest_problem). A missing manifest is a fatal alert. dir_no_version is
// only the answer: the caller tells the user that a newer installer is
// needed.
dir_state_code read_directory(install_state& in, const std::string& path, const std::string& title,
                              int mode = dir_read_install);

// The same in slices for a frame function: while stg.dir_state is dir_fetched,
//   stg.dir_state = dir_read_step(in, path, title, 0.01);
// maps the file and tests its header at the first call, then scans, examines
// and sums for about the seconds given per call (the examination on the
// worker threads too, when there are any), returning dir_fetched until the
// reading is done. After dir_examine_cancel the next call reads the file
// again.
dir_state_code dir_read_step(install_state& in, const std::string& path, const std::string& title,
                             double seconds);
// Where a reading under way is, for the progress panel: stage 0 scanning
// (value the bytes read of total) or 1 examining (the files examined in
// manifest order of total), and the line or local path at hand. Stage -1
// when no reading is under way.
void dir_read_progress(const install_state& in, int* stage, double* value, double* total,
                       std::string* detail);
// Stops a reading that is under way (a new destination was chosen, or the
// program ends) and lets go of the file.
void dir_examine_cancel(install_state& in);

// Progress of a reading: stage 0 while scanning, 1 while examining; lo, value
// and hi as dir_progress_bar takes them. The frame installs the panel in
// g_engine_hooks (installer/update/hooks.h).
using dir_progress_fn = void (*)(float lo, float value, float hi, int stage,
                                 const std::string& title, const std::string& detail);
// The default: nothing is drawn.
void no_dir_progress(float lo, float value, float hi, int stage, const std::string& title,
                     const std::string& detail);

// [SECTION] Scanning bytes (no files, no globals: the fuzzers call it)

struct manifest_scan_options {
  // Length of the destination folder's path; every local path must fit the
  // 499-character limit with it. 0 when there is no destination.
  size_t dest_length = 0;
  // Drop the lines of files the internet install never carries.
  bool drop_net_excluded = true;
  // Called on the 1st, 501st, 1001st ... FILE line of the run with the
  // cursor's offset, the size of the data and the line's name.
  void (*progress)(void* context, size_t offset, size_t size, const std::string& name) = nullptr;
  void* context = nullptr;
  // Where the FILE lines are counted for the progress, across scans; null:
  // each scan counts its own.
  size_t* file_lines = nullptr;
};

// Tests the header and reads every line into out. Returns dir_read,
// dir_no_version (a well-formed header of a newer version; *version holds
// it) or dir_fetching with the reason in *problem.
dir_state_code scan_manifest(const char* begin, const char* end,
                             const manifest_scan_options& options,
                             std::vector<file_history_struct>& out, std::string* problem,
                             int* version);

// What manifest_scanner::step returns while lines remain.
inline constexpr int manifest_scan_more = -1;

// The same scan in slices: begin tests the header (results as scan_manifest,
// dir_read to go on), then each step reads up to max_lines more lines and
// returns manifest_scan_more until the last, then dir_read or dir_fetching.
// The bytes must stay mapped until then.
class manifest_scanner {
 public:
  manifest_scanner(const char* begin, const char* end, const manifest_scan_options& options,
                   std::vector<file_history_struct>& out);
  dir_state_code begin(std::string* problem, int* version);
  int step(size_t max_lines, std::string* problem);
  size_t offset() const { return static_cast<size_t>(at_ - begin_); }
  size_t size() const { return static_cast<size_t>(end_ - begin_); }
  // The name of the last FILE line read.
  const std::string& name() const { return name_; }

 private:
  const char* begin_;
  const char* end_;
  const char* at_;
  manifest_scan_options options_;
  std::vector<file_history_struct>& out_;
  std::string folder_, previous_path_, name_;
  bool any_file_ = false;
  size_t kept_ = 0;
  size_t own_file_lines_ = 0;
};

// [SECTION] Queries

// 1 when record `record` of history `history` of the install's sim_info has
// install type `type` and a platform that its download_os installs.
int want_this_f(const install_state& in, int history, int record, int type);
// The builder's history key: the path from its first "/" on, after the
// platform's prefix ("ALL_os", "APL_os", "IBM_os", "LIN_os" for 0 to 3).
void chop_platform(std::string& path, int platform);
// 1 when the path names a folder, not a file.
int path_has_no_file(const std::string& path);
// What stands at a place on disk, as far as a later look can tell it apart
// from anything else that could stand there: a digest of its device, inode,
// kind, size and times. kNothingThere for nothing (or nothing usable).
using file_identity = uint64_t;
inline constexpr file_identity kNothingThere = 0;
file_identity identity_of(const struct stat& st);

// The MD5 of the file at exactly this path, or of a link's text, as 32
// lower-case hex digits; false for anything else or what cannot be read, or
// once *stop is set. Safe on any thread: it neither alerts nor logs. With a
// root that path starts with, only what lies beneath the root is read.
// *seen (when given) is the identity of exactly what was read, taken as it
// was opened, so that a later look tells whether the copy judged by this MD5
// is still the one in place.
bool installed_md5(const std::string& path, std::string* out, const std::string& root = "",
                   const std::atomic<bool>* stop = nullptr, file_identity* seen = nullptr);
// Removes everything up to and including the first "/" (the platform folder).
void trim_dest_folder(std::string& path);
// The install's dest_dir_path + the path less its platform folder.
std::string local_path_of(const install_state& in, const file_version_struct& record);

// [SECTION] Writing (the install-set builder writes with these)

inline constexpr int kManifestVersion = 900;
inline constexpr const char* kManifestKind = "INSTALLER";
// "DIR " + folder, and "FILE" with the record's seven fields, without the
// line end; the FILE line's name is the text after the path's last "/".
std::string manifest_dir_line(const std::string& folder);
std::string manifest_file_line(const file_version_struct& record);
