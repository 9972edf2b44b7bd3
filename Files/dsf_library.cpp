// The scenery library's registry: chains of exports per library name, the
// regions they are limited to, the weighted lookups, and the two reporters
// that log a scenery error and tell the user which package is at fault.
#include "Files/dsf_library.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "core/alert.h"
#include "core/globals.h"

dsf_library_state g_dsf_library;
std::map<std::string, lib_entry*>& dsf_library = g_dsf_library.library;
std::map<std::string, lib_region*>& dsf_regions = g_dsf_library.regions;
std::vector<std::string>& scenery_packages = g_dsf_library.packages;
std::vector<int>& package_problems = g_dsf_library.problems;
std::vector<int>& package_is_custom = g_dsf_library.is_custom;

namespace {

auto& region_owner = g_dsf_library.region_owner;

uint32_t weight_of(const lib_entry* e) { return e->flags & lib_weight_mask; }

std::string full_path(const lib_entry* e) {
  const bool known = e->package >= 0 && size_t(e->package) < scenery_packages.size();
  return (known ? scenery_packages[e->package] : std::string()) + e->path;
}

lib_entry* chain_of(const std::string& name) {
  auto it = dsf_library.find(name);
  return it == dsf_library.end() ? nullptr : it->second;
}

// [SECTION] Candidates

enum candidate_rule { at_position, anywhere_with_ends, every_entry };

// The entries of a chain that may serve a lookup, in chain order. A position
// off the world is in no region, so only unlimited entries serve it.
std::vector<lib_entry*> candidates(lib_entry* head, candidate_rule rule, int lon, int lat) {
  std::vector<lib_entry*> out;
  for (lib_entry* e = head; e; e = e->next_entry) {
    if (rule == at_position && e->region && !e->region->contains(lon, lat)) continue;
    out.push_back(e);
    if (rule == every_entry) continue;
    if (e->flags & lib_ends_here) break;
    if ((e->flags & lib_ends_at_package) && e->next_entry && e->next_entry->package != e->package)
      break;
  }
  return out;
}

int choose(const std::vector<lib_entry*>& from, std::string& name, int seed) {
  // 64 bits: a few hundred entries of the largest weight overflow 32.
  uint64_t total = 0;
  for (const lib_entry* e : from) total += weight_of(e);
  if (total == 0) return 0;
  int index = seed % 10000;
  if (index < 0) index += 10000;
  uint64_t pick = static_cast<uint64_t>(static_cast<float>(total) * randrat[index]);
  // The table's entries stay below 0.9999; a table filled otherwise still
  // chooses the last candidate rather than none.
  if (pick >= total) pick = total - 1;
  for (const lib_entry* e : from) {
    if (pick < weight_of(e)) {
      name = full_path(e);
      return 1;
    }
    pick -= weight_of(e);
  }
  return 0;
}

int list(const std::string& name, const std::vector<lib_entry*>& from,
         std::vector<std::string>& out) {
  // Each path as many times as its weight: callers count the copies.
  uint64_t count = 0, bytes = 0;
  for (const lib_entry* e : from) {
    count += weight_of(e);
    bytes += uint64_t(weight_of(e)) * full_path(e).size();
  }
  if (count == 0) return 0;
  if (count > DSF_max_list_paths || bytes > DSF_max_list_bytes) {
    const lib_entry* first = nullptr;
    for (const lib_entry* e : from)
      if (!first && weight_of(e)) first = e;
    __DSF_NonFatalError(__FILE__, __LINE__, full_path(first).c_str(),
                        "Library name %s would list %llu files of %llu bytes, more than a lookup "
                        "may hold.  Ignoring.",
                        name.c_str(), static_cast<unsigned long long>(count),
                        static_cast<unsigned long long>(bytes));
    return 0;
  }
  out.reserve(count);
  for (const lib_entry* e : from)
    for (uint32_t i = weight_of(e); i > 0; --i) out.push_back(full_path(e));
  return out.empty() ? 0 : 1;
}

}  // namespace

// [SECTION] Registry

void DSF_RegisterEntry(const char* name, lib_entry* entry) {
  auto it = dsf_library.find(name);
  if (it == dsf_library.end() || !it->second) {
    entry->next_entry = nullptr;
    dsf_library[name] = entry;
    return;
  }
  lib_entry* head = it->second;
  if (head->flags & lib_backup) {
    entry->next_entry = head;
    it->second = entry;
    return;
  }
  lib_entry* last = head;
  while (last->next_entry && !(last->next_entry->flags & lib_backup)) last = last->next_entry;
  entry->next_entry = last->next_entry;
  last->next_entry = entry;
}

lib_region* DSF_NewRegion(const std::string& name) {
  auto region = std::make_unique<lib_region>();
  region->name = name;
  lib_region* made = region.get();
  region_owner.emplace(made, std::move(region));
  return made;
}

void DSF_FreeRegion(lib_region* region) { region_owner.erase(region); }

size_t DSF_RegionCount() { return region_owner.size(); }

size_t DSF_RegionCellBytes() {
  size_t bytes = 0;
  for (const auto& owned : region_owner) bytes += owned.second->cells.size();
  return bytes;
}

void DSF_ClearLibrary() {
  for (auto& named : dsf_library) {
    for (lib_entry* e = named.second; e;) {
      lib_entry* next = e->next_entry;
      delete e;
      e = next;
    }
  }
  dsf_library.clear();
  dsf_regions.clear();
  region_owner.clear();
}

void DSF_ResetLibrary() {
  DSF_ClearLibrary();
  g_dsf_library = dsf_library_state();
}

// [SECTION] Lookups

int DSF_LookupLibraryResource(int lon, int lat, std::string& name, int seed) {
  lib_entry* head = chain_of(name);
  return head ? choose(candidates(head, at_position, lon, lat), name, seed) : 0;
}

int DSF_LookupLibraryResourceAnywhere(std::string& name, int seed) {
  lib_entry* head = chain_of(name);
  return head ? choose(candidates(head, every_entry, 0, 0), name, seed) : 0;
}

int DSF_LookupLibraryResourceMultiple(int lon, int lat, const std::string& name,
                                      std::vector<std::string>& out) {
  out.clear();
  lib_entry* head = chain_of(name);
  return head ? list(name, candidates(head, at_position, lon, lat), out) : 0;
}

int DSF_LookupLibraryResourceAnywhereMultiple(const std::string& name,
                                              std::vector<std::string>& out) {
  out.clear();
  lib_entry* head = chain_of(name);
  return head ? list(name, candidates(head, anywhere_with_ends, 0, 0), out) : 0;
}

// [SECTION] Error reports

namespace {

std::string format_message(const char* format, va_list args) {
  char buf[4096];
  va_list again;
  va_copy(again, args);
  const int n = vsnprintf(buf, sizeof buf, format, args);
  std::string text;
  if (n >= 0 && size_t(n) < sizeof buf) {
    text = buf;
  } else if (n > 0) {
    // Names in a library file may run long: the message grows rather than
    // losing its end.
    text.resize(size_t(n));
    vsnprintf(&text[0], size_t(n) + 1, format, again);
  }
  va_end(again);
  return text;
}

// The first package whose folder and the file agree as far as the shorter
// reaches: a file inside a package folder blames that package.
int blamed_package(const char* file) {
  const size_t length = strlen(file);
  for (size_t i = 0; i < scenery_packages.size(); ++i) {
    const std::string& p = scenery_packages[i];
    const size_t n = std::min(p.size(), length);
    if (p.compare(0, n, file, n) == 0) return static_cast<int>(i);
  }
  return -1;
}

// Logs the formatted error; returns the package to blame, or -1.
int log_and_blame(const char* source_file, int source_line, const char* file, const char* format,
                  va_list args) {
  xer << "***Error with scenery file \"" << file << "\" (" << source_file << ": " << source_line
      << ".)\n  " << format_message(format, args) << "\n";
  xer.flush();
  return blamed_package(file);
}

int& problem_of(int package) {
  if (package_problems.size() <= size_t(package)) package_problems.resize(size_t(package) + 1, 0);
  return package_problems[size_t(package)];
}

const char* const kHeadLine = "Error loading the scenery package:";
const char* const kSeeLog = "Please see the log.txt file for detailed error information.";

}  // namespace

// The alerts carry the source lines that users have always quoted when they
// report a broken package; they are kept on purpose.
void __DSF_NonFatalError(const char* source_file, int source_line, const char* file,
                         const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int package = log_and_blame(source_file, source_line, file, format, args);
  va_end(args);
  if (package < 0) {
    __MACIBM_alert(wind_main, kHeadLine, file, "The scenery may not look correct.", kSeeLog,
                   t_alert, __FILE__, 481);
  } else if (!problem_of(package)) {
    problem_of(package) = 1;
    __MACIBM_alert(wind_main, kHeadLine, scenery_packages[size_t(package)].c_str(),
                   "The scenery may not look correct.", kSeeLog, t_alert, __FILE__, 487);
  }
  xer.flush();
}

void __DSF_FatalError(const char* source_file, int source_line, const char* file,
                      const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int package = log_and_blame(source_file, source_line, file, format, args);
  va_end(args);
  if (package < 0) {
    __MACIBM_alert(wind_main, kHeadLine, file, "Nimbrel cannot run with this corrupt file.",
                   kSeeLog, t_exit, __FILE__, 516);
  } else {
    problem_of(package) = 1;
    const bool custom =
        size_t(package) < package_is_custom.size() && package_is_custom[size_t(package)] != 0;
    __MACIBM_alert(wind_main, kHeadLine, scenery_packages[size_t(package)].c_str(),
                   custom ? "Nimbrel cannot run with this package installed - you may need to "
                            "remove the custom  scenery package."
                          : "Nimbrel cannot run with this package installed - You may need to "
                            "reinstall Nimbrel.",
                   kSeeLog, t_exit, __FILE__, 522);
  }
}
