// The whole-file reader: one read-only mapping per object, the data-file
// header test, and the text scanners every reader of our own files shares.
#include "core/files/xmap.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/alert.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "Files/io_utils.h"

// An empty file cannot be mapped; its range points here instead, so callers
// still see a non-null, zero-length file.
static const char kEmptyFile[1] = {0};

static inline bool is_blank(unsigned char c) { return c == '\t' || c == ' '; }
static inline bool is_line_end(unsigned char c) { return c == 0 || c == '\r' || c == '\n'; }
static inline bool is_white(unsigned char c) { return is_blank(c) || is_line_end(c); }

xmap_class::xmap_class(const char* p) {
  if (p && *p) retry(p);
}

xmap_class::~xmap_class() {
  if (map_begin && map_length) munmap(const_cast<char*>(map_begin), map_length);
  if (fd >= 0) close(fd);
}

// [SECTION] Mapping

bool xmap_class::can_take(const std::string& path) {
  return (app_path.empty() || path.find(app_path) == std::string::npos) &&
         path.find('\\') == std::string::npos && fits_path_buffer(path);
}

// Memory: the file's pages are mapped, never copied, and count as address
// space only as far as they are read. Time: opening never waits (a FIFO or
// a device counts as missing); reading is the caller's.
const char* xmap_class::retry(const char* p) {
  std::string given = p ? p : "";
  if (!app_path.empty() && given.find(app_path) != std::string::npos)
    MACIBM_alert(wind_main, "retry: We are getting a file string that is not Flyhouse relative!",
                 "This is illegal! All paths must be Flyhouse relative!",
                 "The path in question is:", given.c_str(), t_exit);
  // ':' is an ordinary file-name byte on Linux; only the backslash betrays a
  // path built for another system.
  if (given.find('\\') != std::string::npos)
    MACIBM_alert(wind_main, "OOPS!", "I got a bad dirchar! I only want '/'!",
                 "The path in question is:", given.c_str(), t_exit);

  std::string full = app_path + given;
  check_path_length(full);
  char c_path[500];
  memcpy(c_path, full.c_str(), full.size() + 1);
  if (g_case_sensitive) findPath(c_path);

  if (map_begin && map_length) munmap(const_cast<char*>(map_begin), map_length);
  if (fd >= 0) close(fd);
  fd = -1;
  map_begin = cursor = map_end = nullptr;
  map_length = 0;

  // A folder, a device or a FIFO is not a file to read: it counts as missing,
  // and opening a FIFO must not wait for a writer that never comes.
  fd = UTL_open_regular(c_path, O_RDONLY);
  if (fd < 0) {
    fd = -1;
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    fd = -1;
    return nullptr;
  }
  size_t length = static_cast<size_t>(st.st_size);
  if (length == 0) {
    map_begin = cursor = map_end = kEmptyFile;
    return map_begin;
  }

  void* m = mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd, 0);
  if (m == MAP_FAILED) {
    int err = errno;
    xer << "Mem file error.  Err=" << err << ", file=" << c_path << "\n";
    if (err == ENOMEM) {
      char line[64];
      snprintf(line, sizeof line, "errno=%f", static_cast<double>(err));
      MACIBM_alert(wind_main, "Xmapped out of memory", "c_path=", c_path, line, t_exit);
    }
    return nullptr;
  }
  if (m == nullptr) MACIBM_alert(wind_main, "Xmapped file ran out of memory", "", "", "", t_exit);
  map_begin = cursor = static_cast<const char*>(m);
  map_end = map_begin + length;
  map_length = length;
  return map_begin;
}

// [SECTION] Data-file header

void xmap_class::skip_blanks() {
  while (cursor < map_end && is_blank(*cursor)) ++cursor;
}

void xmap_class::skip_to_line_end() {
  while (cursor < map_end && !is_line_end(*cursor)) ++cursor;
}

void xmap_class::skip_white() {
  while (cursor < map_end && is_white(*cursor)) ++cursor;
}

// Files read this way may come from a mirror (the server list, the
// manifest) or from the user. Memory: the rest of the version line when
// `out` is given, at most the file. Time: the header's bytes once, stopping
// at the end of the mapping.
int xmap_class::check_file(int kind, const int* versions, const char* kind_word, std::string* out) {
  if (kind != kind_binary && kind != kind_text)
    MACIBM_alert(wind_main, "Bad check_file type!", path.c_str(), "", "", t_exit);
  if (!map_begin || map_begin == map_end) return 0;
  cursor = map_begin;

  int version = 0;
  if (kind == kind_binary) {
    char first = *cursor++;
    if (first != 'i' && first != 'a') return 0;
    byte_swap = first == 'a';
    if (map_end - cursor >= 4) {
      unsigned char b[4];
      memcpy(b, cursor, 4);
      cursor += 4;
      if (byte_swap) {
        std::swap(b[0], b[3]);
        std::swap(b[1], b[2]);
      }
      int32_t v;
      memcpy(&v, b, 4);
      version = v;
    }
  } else {
    char first = *cursor++;
    skip_blanks();
    skip_to_line_end();
    skip_white();
    if (first != 'A' && first != 'I') return 0;
    version = TXT_int_scan();
    skip_blanks();
    const char* rest = cursor;
    skip_to_line_end();
    if (out) out->assign(rest, cursor);
    skip_white();
  }

  int matched = 0;
  if (versions)
    for (const int* v = versions; *v != 0; ++v)
      if (*v == version) {
        matched = version;
        break;
      }
  if (!matched || !kind_word) return matched;

  skip_blanks();
  const char* mark = cursor;
  for (const char* w = kind_word; *w; ++w, ++cursor) {
    if (cursor >= map_end || *cursor != *w) {
      cursor = mark;
      return 0;
    }
  }
  if (cursor < map_end && !is_white(*cursor)) {
    cursor = mark;
    return 0;
  }
  skip_blanks();
  skip_to_line_end();
  skip_white();
  return matched;
}

void xmap_class::read_n_rev(void* dest, size_t n) {
  if (n > static_cast<size_t>(map_end - cursor))
    MACIBM_alert(wind_main, "Invalid read_n_rev read!", "", "", "", t_exit);
  if (n == 0) return;
  memcpy(dest, cursor, n);
  cursor += n;
  if (byte_swap) {
    unsigned char* b = static_cast<unsigned char*>(dest);
    for (size_t i = 0; i + 4 <= n; i += 4) {
      std::swap(b[i], b[i + 3]);
      std::swap(b[i + 1], b[i + 2]);
    }
  }
}

int xmap_class::io_file_open(int mode, std::string p, const int* versions, int kind) {
  io_mode = mode;
  if (mode == 1) return ouf_open(p, kind, versions ? versions[0] : 0, "no-copyright-string");
  if (mode == 0) return retry(p.c_str()) && check_file(kind, versions, nullptr, nullptr) ? 1 : 0;
  return 0;
}

void xmap_class::io_file_close() {
  if (io_mode == 1) ouf.close();
}

// [SECTION] Text scanning
// Each scanner looks at each byte once and stops at the end of the mapping;
// what it hands back is at most the token or line it read. TXT_xer_line
// counts the lines before the cursor again on every call: it serves only
// the log's error lines.

void xmap_class::TXT_str_scan_space(std::string* out) {
  skip_blanks();
  const char* start = cursor;
  while (cursor < map_end && !is_white(*cursor)) ++cursor;
  if (out) out->assign(start, cursor);
}

void xmap_class::TXT_str_scan_eoln(std::string* out) {
  skip_blanks();
  const char* start = cursor;
  skip_to_line_end();
  if (out) out->assign(start, cursor);
  skip_white();
}

int xmap_class::TXT_int_scan() { return UTL_int_token(&cursor, map_end); }

void xmap_class::TXT_xer_line() {
  int cr = 0, lf = 0;
  const char* line_start = map_begin;
  for (const char* c = map_begin; c < cursor; ++c) {
    if (*c == '\r') ++cr;
    if (*c == '\n') ++lf;
    if (*c == '\r' || *c == '\n') line_start = c + 1;
  }
  const char* line_end = cursor;
  while (line_end < map_end && *line_end != '\r' && *line_end != '\n') ++line_end;
  xer << (1 + (cr > lf ? cr : lf)) << " \"";
  if (line_end > line_start) xer.write(line_start, line_end - line_start);
  xer << "\"\n";
  xer.flush();
}
