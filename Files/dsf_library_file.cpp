// The library file of a scenery package: its header, the export statements
// that register files under library names, and the region statements
// (rectangles and bitmaps of the world) that limit later exports.
//
// Library files come from third-party packages: nothing in one may read past
// the file, overflow, or end the run; every fault is reported and skipped.
// The reports carry the fixed source lines that users quote from their logs
// when they report a broken package; they are kept on purpose.
//
// Contents
//   [SECTION] Statements
//   [SECTION] Exports
//   [SECTION] Regions
//   [SECTION] Reading a file
#include "Files/dsf_library_file.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "core/files/xmap.h"
#include "core/hooks.h"
#include "Files/dsf_library.h"
#include "Files/io_utils.h"

namespace {

// [SECTION] Statements

enum statement {
  st_export,
  st_export_extend,
  st_export_exclude,
  st_export_backup,
  st_export_ratio,
  st_region,
  st_region_define,
  st_region_rect,
  st_region_bitmap,
  st_none,
};

// In the order they are tried; each must be followed by a blank, so
// "EXPORT" never takes the start of "EXPORT_EXTEND".
const char* const kKeywords[st_none] = {
    "EXPORT", "EXPORT_EXTEND", "EXPORT_EXCLUDE", "EXPORT_BACKUP", "EXPORT_RATIO",
    "REGION", "REGION_DEFINE", "REGION_RECT",    "REGION_BITMAP",
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// A library file comes from a third-party package and may be hostile.
// Memory: one entry per export line, holding that line's name and path; at
// most DSF_max_file_regions regions while the file is read; cells (64,800
// bytes) only for regions a REGION_RECT or REGION_BITMAP drew on. When the
// file ends, the regions that none of its exports is limited to are freed,
// so what stays is what the library uses. Time: one pass over the file; a
// REGION_RECT fills at most 360 columns of cells, a REGION_BITMAP reads one
// image of at most 2048 pixels a side.
struct library_reader {
  xmap_class& map;
  int package;
  std::string folder;
  std::string file;
  lib_region* current = nullptr;   // limits every later export
  lib_region* defining = nullptr;  // takes REGION_RECT and REGION_BITMAP
  // The region being defined was one past the cap: its statements are
  // dropped with it, the cap having been reported once.
  bool defining_dropped = false;
  bool cap_reported = false;
  std::vector<lib_region*> defined{};  // by this file, in order
  std::set<const lib_region*> used{};  // by an export of this file

  void skip_blanks() {
    while (map.cursor < map.map_end && is_blank(*map.cursor)) ++map.cursor;
  }

  statement keyword_here() const {
    const size_t left = size_t(map.map_end - map.cursor);
    for (int k = 0; k < st_none; ++k) {
      const size_t n = strlen(kKeywords[k]);
      // The keyword and the blank after it must both lie inside the file.
      if (left > n && memcmp(map.cursor, kKeywords[k], n) == 0 && is_blank(map.cursor[n]))
        return static_cast<statement>(k);
    }
    return st_none;
  }

  void run();
  void read_region_define();
  void free_unused_regions();
  void read_export(statement s);
  void read_region_rect();
  void read_region_bitmap();
};

// Packages are written on systems with other separators.
std::string with_slashes(std::string s) {
  for (char& c : s)
    if (c == '\\' || c == ':') c = '/';
  return s;
}

// The file layer copies paths into 500-byte buffers and refuses ':' and '\\'
// with a fatal alert: such a path from a package is skipped instead.
bool usable_path(const std::string& path, const std::string& file) {
  if (fits_path_buffer(path) && path.find_first_of(":\\") == std::string::npos) return true;
  __DSF_NonFatalError(__FILE__, __LINE__, file.c_str(),
                      "The path '%s' holds a ':' or a '\\' or is over 499 characters.  Will skip.",
                      path.c_str());
  return false;
}

void library_reader::run() {
  for (;;) {
    skip_blanks();
    if (map.cursor >= map.map_end) return;
    const statement s = keyword_here();
    if (s == st_none) {
      map.TXT_str_scan_eoln(nullptr);
      continue;
    }
    map.cursor += strlen(kKeywords[s]);
    skip_blanks();
    std::string name;
    switch (s) {
      case st_region:
        map.TXT_str_scan_space(&name);
        if (dsf_regions.count(name))
          current = dsf_regions[name];
        else
          __DSF_NonFatalError(__FILE__, 356, file.c_str(), "REGION %s - region unknown.  Ingoring",
                              name.c_str());
        break;
      case st_region_define:
        read_region_define();
        break;
      case st_region_rect:
        read_region_rect();
        break;
      case st_region_bitmap:
        read_region_bitmap();
        break;
      default:
        read_export(s);
        break;
    }
  }
}

// [SECTION] Exports

void library_reader::read_export(statement s) {
  uint32_t flags = 1 | lib_ends_at_package;
  if (s == st_export_extend) flags = 1;
  if (s == st_export_exclude) flags = 1 | lib_ends_here;
  if (s == st_export_backup) flags = 1 | lib_backup;
  uint32_t ratio = 0;
  if (s == st_export_ratio) ratio = static_cast<uint32_t>(map.TXT_int_scan());
  std::string name, path;
  map.TXT_str_scan_space(&name);
  // The path is the rest of the line: inner and trailing blanks belong to it.
  map.TXT_str_scan_eoln(&path);
  name = with_slashes(name);
  path = with_slashes(path);
  if (s == st_export_ratio) {
    if (ratio > lib_weight_mask)
      __DSF_NonFatalError(
          __FILE__, 338, file.c_str(),
          "Library error: you cannot have a ratio of more than 2^24 lib items for %s -> %s.",
          path.c_str(), name.c_str());
    flags = (ratio & lib_weight_mask) | lib_ends_at_package;
  }
  if (current) used.insert(current);
  lib_entry* entry = new lib_entry;
  entry->region = current;
  entry->package = package;
  entry->flags = flags;
  entry->path = path;
  DSF_RegisterEntry(name.c_str(), entry);
}

// [SECTION] Regions

void library_reader::read_region_define() {
  std::string name;
  map.TXT_str_scan_space(&name);
  defining = nullptr;
  defining_dropped = false;
  if (dsf_regions.count(name)) {
    __DSF_NonFatalError(__FILE__, 368, file.c_str(),
                        "REGION_DEFINE %s - region already defined.  Ignoring.", name.c_str());
    return;
  }
  if (defined.size() >= DSF_max_file_regions) {
    if (!cap_reported)
      __DSF_NonFatalError(__FILE__, __LINE__, file.c_str(),
                          "REGION_DEFINE %s - a library file may define at most %d regions.  "
                          "Ignoring this and every later region of the file.",
                          name.c_str(), int(DSF_max_file_regions));
    cap_reported = true;
    defining_dropped = true;
    return;
  }
  defining = dsf_regions[name] = DSF_NewRegion(name);
  defined.push_back(defining);
}

// Regions are known by name only inside their file, so once it ends no
// later export can take up a region that none of its exports took.
void library_reader::free_unused_regions() {
  for (lib_region* r : defined)
    if (!used.count(r)) DSF_FreeRegion(r);
  defined.clear();
  used.clear();
  current = defining = nullptr;
  dsf_regions.clear();
}

void library_reader::read_region_rect() {
  if (!defining) {
    if (!defining_dropped)
      __DSF_NonFatalError(__FILE__, 382, file.c_str(),
                          "REGION_RECT command used but no region has been defined.");
    return;
  }
  // 64 bits: the shifted bounds of any int stay exact.
  const long long w = map.TXT_int_scan() + 180LL;
  const long long s = map.TXT_int_scan() + 90LL;
  const long long e = map.TXT_int_scan() + 180LL;
  const long long n = map.TXT_int_scan() + 90LL;
  if (w < 0 || s < 0 || e > 359 || n > 179 || n < s || e < w) {
    __DSF_NonFatalError(__FILE__, 391, file.c_str(),
                        "The boundaries to a REGION_RECT command are out of range: "
                        "%lld,%lld->%lld,%lld",
                        w, s, e, n);
    return;
  }
  unsigned char* cells = defining->drawn_cells();
  for (long long x = w; x <= e; ++x) memset(cells + x * 180 + s, 1, size_t(n - s + 1));
}

void library_reader::read_region_bitmap() {
  if (!defining) {
    if (defining_dropped) return;
    __DSF_NonFatalError(
        __FILE__, 406, file.c_str(),
        "REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored.");
    return;
  }
  std::string bitmap;
  map.TXT_str_scan_space(&bitmap);
  bitmap = with_slashes(bitmap);
  const std::string path = folder + bitmap;
  if (!usable_path(path, file)) return;
  unsigned char* pixels = nullptr;
  int dx = 0, dy = 0;
  if (!g_core_hooks.load_alpha_image(path.c_str(), &pixels, &dx, &dy)) {
    __DSF_NonFatalError(__FILE__, 427, file.c_str(),
                        "Unable to load bitmap file '%s' for REGION_BITMAP command - will skip.",
                        bitmap.c_str());
    return;
  }
  if (dx == 360 && dy == 180) {
    // The first row is the southern edge, latitude -90.
    unsigned char* cells = defining->drawn_cells();
    for (int y = 0; y < 180; ++y)
      for (int x = 0; x < 360; ++x)
        cells[size_t(x) * 180 + size_t(y)] = pixels[size_t(y) * 360 + size_t(x)] ? 1 : 0;
  } else {
    __DSF_NonFatalError(
        __FILE__, 415, file.c_str(),
        "REGION_BITMAP with bitmap %s has a size of %d, %d but need sa size of 360x180.",
        bitmap.c_str(), dx, dy);
  }
  ::operator delete(pixels);
}

}  // namespace

// [SECTION] Reading a file

void DSF_ReadLibrary(xmap_class& map, int p) {
  const std::string folder =
      p >= 0 && size_t(p) < scenery_packages.size() ? scenery_packages[size_t(p)] : std::string();
  const std::string file = folder + "library.txt";
  static const int kVersions[] = {800, 0};
  if (!map.check_file(kind_text, kVersions, "LIBRARY", nullptr)) {
    __DSF_NonFatalError(__FILE__, 247, file.c_str(),
                        "Incorrect version for scenery library file.  Will skip.");
    return;
  }
  // Region names hold inside the file that defines them; the regions stay,
  // since entries of this file keep pointing at them.
  dsf_regions.clear();
  library_reader reader{map, p, folder, file};
  reader.run();
  reader.free_unused_regions();
}

void DSF_ReadLibraryFile(int p) {
  if (p < 0 || size_t(p) >= scenery_packages.size()) return;
  const std::string file = scenery_packages[size_t(p)] + "library.txt";
  if (!usable_path(file, file)) return;
  xmap_class map(file.c_str());
  if (!map.map_begin) return;
  DSF_ReadLibrary(map, p);
}
