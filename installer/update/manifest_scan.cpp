// Scanning a manifest's bytes into histories: the header, the DIR and FILE
// lines, and the checks that keep a hostile manifest from naming anything
// outside the destination. No file or global is touched: the fuzzers run it.
#include <cstdint>
#include <cstring>

#include "core/alert.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "installer/update/manifest.h"
#include "installer/update/manifest_rules.h"
#include "installer/update/text_header.h"

namespace {

class line_reader {
 public:
  line_reader(const char* at, const char* begin, const char* end)
      : p_(at), begin_(begin), end_(end) {}

  bool done() const { return p_ >= end_; }
  const char* at() const { return p_; }
  size_t offset() const { return static_cast<size_t>(p_ - begin_); }

  void skip_blanks() {
    while (p_ < end_ && text_blank(*p_)) ++p_;
  }
  void skip_white() {
    while (p_ < end_ && (text_blank(*p_) || text_line_end(*p_))) ++p_;
  }
  // The next token, up to a blank or a line end.
  std::string token() {
    const char* start = p_;
    while (p_ < end_ && !text_blank(*p_) && !text_line_end(*p_)) ++p_;
    return std::string(start, p_);
  }
  // Everything up to the line end, trailing blanks included.
  std::string rest_of_line() {
    const char* start = p_;
    while (p_ < end_ && !text_line_end(*p_)) ++p_;
    return std::string(start, p_);
  }
  bool blank_follows() const { return p_ < end_ && text_blank(*p_); }

  int number() { return UTL_int_token(&p_, end_); }
  int64_t size_number() { return UTL_int64_token(&p_, end_); }

 private:
  const char* p_;
  const char* begin_;
  const char* end_;
};

bool is_signature(const std::string& sig) {
  if (sig == "GONE") return true;
  if (sig.size() != 32) return false;
  for (char c : sig)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

int clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

// [SECTION] The scan in slices

manifest_scanner::manifest_scanner(const char* begin, const char* end,
                                   const manifest_scan_options& options,
                                   std::vector<file_history_struct>& out)
    : begin_(begin), end_(end), at_(begin), options_(options), out_(out) {}

dir_state_code manifest_scanner::begin(std::string* problem, int* version) {
  out_.clear();
  if (problem) problem->clear();
  if (version) *version = 0;
  if (static_cast<uint64_t>(end_ - begin_) > kManifestTextCap) {
    if (problem) *problem = "a manifest larger than any set of ours";
    return dir_fetching;
  }
  static const int kVersions[] = {840, kManifestVersion, 0};
  text_header header = classify_text_header(begin_, end_, kManifestKind, kVersions);
  if (version) *version = header.version;
  if (header.verdict != header_accepted) {
    if (header.verdict == header_other_version && header.version > kManifestVersion)
      return dir_no_version;
    if (problem)
      *problem = header.verdict == header_unusable ? "not a manifest header"
                                                   : "a manifest version we do not read";
    return dir_fetching;
  }
  at_ = header.body;
  return dir_read;
}

// Memory grows with the kept lines only: one record per FILE line, its strings
// without spare room, a GONE signature within the string itself.
int manifest_scanner::step(size_t max_lines, std::string* problem) {
  auto unusable = [&](const std::string& why, const std::string& path) {
    if (problem) *problem = why + ": " + path;
    out_.clear();
    out_.shrink_to_fit();
    at_ = end_;
    return dir_fetching;
  };

  // FILE lines seen, dropped ones included: the progress panel is drawn on
  // every 500th of them, counting across the scans that share the count.
  size_t& file_lines = options_.file_lines ? *options_.file_lines : own_file_lines_;
  line_reader in(at_, begin_, end_);
  for (size_t lines = 0; lines < max_lines && !in.done(); ++lines) {
    in.skip_blanks();
    std::string word = in.token();
    if (word == "DIR" && in.blank_follows()) {
      in.skip_blanks();
      folder_ = in.rest_of_line();
      in.skip_white();
      continue;
    }
    if (word != "FILE" || !in.blank_follows()) {
      in.rest_of_line();
      in.skip_white();
      continue;
    }

    file_version_struct r;
    r.type = static_cast<signed char>(clamp(in.number(), 0, 4));
    r.platform = static_cast<signed char>(clamp(in.number(), 0, 6));
    r.version = in.number();
    int64_t zip_kb = in.size_number();
    int64_t ext_kb = in.size_number();
    in.skip_blanks();
    r.sig_want = in.token();
    in.skip_blanks();
    std::string name = in.rest_of_line();
    size_t line_offset = in.offset();
    in.skip_white();
    name_ = name;

    if (++file_lines % 500 == 1 && options_.progress)
      options_.progress(options_.context, line_offset, size(), name);
    if (options_.drop_net_excluded && manifest_name_dropped(name)) continue;

    r.path = folder_ + name;
    if (!is_signature(r.sig_want)) return unusable("a signature that is not one", r.path);
    for (int64_t kb : {zip_kb, ext_kb})
      if (!manifest_size_problem(kb).empty()) return unusable(manifest_size_problem(kb), r.path);
    r.zip_size = zip_kb;
    r.ext_size = ext_kb;
    // Kept as the fatal alert it always was (source and line as printed).
    if (path_has_no_file(r.path))
      __MACIBM_alert(wind_main,
                     "I am reading the directory text file and found a path that has no file!",
                     "This is impossible to download or delete!", "It is:", r.path.c_str(), t_exit,
                     "Installer-f/utils", 659);
    std::string why = manifest_path_problem(r.path, options_.dest_length);
    if (!why.empty()) return unusable(why, r.path);
    if (++kept_ > kManifestLineCap) return unusable("more lines than any set of ours", r.path);

    if (!any_file_ || r.path != previous_path_) {
      out_.emplace_back();
      previous_path_ = r.path;
    }
    any_file_ = true;
    out_.back().push_back(std::move(r));
  }
  at_ = in.at();
  if (!in.done()) return manifest_scan_more;
  // The growth of the list leaves up to half of it spare.
  out_.shrink_to_fit();
  return dir_read;
}

// [SECTION] The scan in one call

dir_state_code scan_manifest(const char* begin, const char* end,
                             const manifest_scan_options& options,
                             std::vector<file_history_struct>& out, std::string* problem,
                             int* version) {
  manifest_scanner scanner(begin, end, options, out);
  const dir_state_code result = scanner.begin(problem, version);
  if (result != dir_read) return result;
  int step;
  while ((step = scanner.step(SIZE_MAX, problem)) == manifest_scan_more) {
  }
  return static_cast<dir_state_code>(step);
}

int path_has_no_file(const std::string& path) { return path.empty() || path.back() == '/' ? 1 : 0; }
