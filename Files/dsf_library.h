// The scenery library: exported library names, each with a chain of the
// files that packages export under it, the regions that limit exports, the
// lookups that turn a library name into a real file, and the reporters of
// errors in scenery files.
//
// No lock guards the registry: a scan fills it and lookups read it, on one
// thread, never at the same time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// A region of the world in whole-degree cells, 360 columns of longitude by
// 180 rows of latitude: the cell of (lon, lat) is (lon + 180) * 180 + lat + 90.
enum { lib_region_cells = 360 * 180 };

struct lib_region {
  std::string name;
  // One byte per cell, non-zero inside. A library file may name many regions
  // it never draws on, so the cells are made only when a REGION_RECT or
  // REGION_BITMAP first draws; until then no cell is inside.
  std::vector<unsigned char> cells;

  // False off the world as well.
  bool contains(int lon, int lat) const {
    if (cells.empty() || lon < -180 || lon > 179 || lat < -90 || lat > 89) return false;
    return cells[size_t(lon + 180) * 180 + size_t(lat + 90)] != 0;
  }
  // The cells to draw on, all outside when first made.
  unsigned char* drawn_cells() {
    if (cells.empty()) cells.assign(lib_region_cells, 0);
    return cells.data();
  }
};

// The bits of lib_entry::flags above the weight.
enum lib_entry_flags : uint32_t {
  lib_weight_mask = 0xFFFFFF,
  lib_ends_here = 0x1000000,        // the candidates end after this entry
  lib_ends_at_package = 0x2000000,  // ... when the next entry is another package's
  lib_backup = 0x4000000,           // kept behind every other entry of the name
};

// One export. Entries are owned by dsf_library (DSF_ClearLibrary frees them).
struct lib_entry {
  lib_entry* next_entry = nullptr;
  lib_region* region = nullptr;  // null: everywhere
  int package = 0;               // index into scenery_packages
  uint32_t flags = 0;
  std::string path;  // relative to the package folder, "/" separators
};

// The scenery library's state: the registry and the packages of the scan.
struct dsf_library_state {
  std::map<std::string, lib_entry*> library;
  // Region names of the library file being read; the regions belong to the
  // scan (DSF_NewRegion), so clearing this index frees nothing.
  std::map<std::string, lib_region*> regions;
  // Every region of the scan, whichever library file defined it: entries of
  // earlier packages keep pointing at regions whose names are long forgotten.
  std::unordered_map<const lib_region*, std::unique_ptr<lib_region>> region_owner;
  std::vector<std::string> packages;  // folders ending in "/", by priority
  std::vector<int> problems;          // 1 once a package's error was shown
  std::vector<int> is_custom;
};
extern dsf_library_state g_dsf_library;

extern std::map<std::string, lib_entry*>& dsf_library;  // g_dsf_library.library
extern std::map<std::string, lib_region*>& dsf_regions;
extern std::vector<std::string>& scenery_packages;
extern std::vector<int>& package_problems;
extern std::vector<int>& package_is_custom;

// Links the entry into the chain of name: regular entries in the order of
// registration, then backup entries, the latest first.
void DSF_RegisterEntry(const char* name, lib_entry* entry);
// A new empty region, owned until DSF_FreeRegion or the next DSF_ClearLibrary.
lib_region* DSF_NewRegion(const std::string& name);
// Frees a region of DSF_NewRegion that no entry refers to.
void DSF_FreeRegion(lib_region* region);
// What the regions hold: how many there are and the bytes of their cells.
size_t DSF_RegionCount();
size_t DSF_RegionCellBytes();
// Frees every entry and region and empties dsf_library and dsf_regions.
void DSF_ClearLibrary();
// Back to the state at start: the library cleared and no scenery package.
void DSF_ResetLibrary();

// One weighted random choice among the candidates at (lon, lat), the seed
// picking the random number: 1 with name replaced by the chosen file's full
// path (package folder + path), else 0 with name unchanged.
int DSF_LookupLibraryResource(int lon, int lat, std::string& name, int seed);
// The same among every entry of the name, whatever its region or end bits.
int DSF_LookupLibraryResourceAnywhere(std::string& name, int seed);
// Every candidate's full path, repeated as many times as its weight. 1 when
// the list is not empty. A list past its cap is reported and left empty.
int DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& name,
                                      std::vector<std::string>& out);
int DSF_LookupLibraryResourceAnywhereMultiple(const std::string& name,
                                              std::vector<std::string>& out);

// The most paths, and the most bytes of paths, one list lookup hands back.
enum { DSF_max_list_paths = 65536, DSF_max_list_bytes = 16 << 20 };

// Writes the error to the log and warns the user once per package (every
// time for a file under no package). file: the scenery file at fault.
void __DSF_NonFatalError(const char* source_file, int source_line, const char* file,
                         const char* format, ...) __attribute__((format(printf, 4, 5)));
// The same, then the fatal alert, which ends the run.
void __DSF_FatalError(const char* source_file, int source_line, const char* file,
                      const char* format, ...) __attribute__((format(printf, 4, 5)));
