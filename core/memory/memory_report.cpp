// The memory report: the process's and the machine's figures as the platform
// layer reads them, the address-space map with totals, and mimalloc's own
// statistics.
//
// Contents:
//   [SECTION] Scaling and texts
//   [SECTION] The report's steps
//   [SECTION] The report
#include "core/memory/memory_report.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#ifndef NIMBREL_NO_ALLOCATOR
#include <mimalloc.h>
#endif

#include "core/globals.h"
#include "core/hooks.h"
#include "core/stats.h"
#include "Files/io_utils.h"

UTL_remote_cmd dump_mem_now("Dump Memory Info", DumpMemCmd);

mem_report_state mem_report;

// [SECTION] Scaling and texts
namespace {

// How far a byte count is shifted for the report: 30, 20, 10 or 0 bits.
int mem_shift(uint64_t bytes) {
  if (bytes > 0x380000000ULL) return 30;
  const double b = static_cast<double>(bytes);
  if (b > 1468006.4) return 20;
  if (b > 1433.6) return 10;
  return 0;
}

}  // namespace

uint64_t mem_to_number(uint64_t bytes) { return bytes >> mem_shift(bytes); }

char mem_to_suffix(uint64_t bytes) { return "BKMG"[mem_shift(bytes) / 10]; }

const char* sm_string(uint8_t mode) {
  static const char* const names[] = {"Unknown",         "Copy-on-write", "Private",
                                      "Empty",           "Shared",        "True-Shared",
                                      "Private-Aliased", "Shared-Aliased"};
  return mode <= 7 ? names[mode] : "Unknown";
}

void DumpMemCmd() { dump_mem_stats("Remote Commanded Dump"); }

bool mem_allocator_stat(const std::string& stats_text, const char* label, uint64_t* bytes) {
  std::istringstream lines(stats_text);
  std::string line;
  const std::string key = std::string(label) + ":";
  while (std::getline(lines, line)) {
    size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line.compare(start, key.size(), key) != 0) continue;
    // Columns: peak, total, freed, current; each a number with an optional
    // unit word ("0" stands alone).
    std::istringstream words(line.substr(start + key.size()));
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    int column = 0;
    for (size_t i = 0; i < w.size(); ++i) {
      char* end = nullptr;
      double v = strtod(w[i].c_str(), &end);
      if (end == w[i].c_str() || *end) return false;
      double unit = 1;
      if (i + 1 < w.size()) {
        const std::string& u = w[i + 1];
        if (u == "B")
          unit = 1, ++i;
        else if (u == "KiB")
          unit = 1024.0, ++i;
        else if (u == "MiB")
          unit = 1048576.0, ++i;
        else if (u == "GiB")
          unit = 1073741824.0, ++i;
        else if (u == "TiB")
          unit = 1099511627776.0, ++i;
      }
      if (++column == 4) {
        *bytes = static_cast<uint64_t>(v * unit);
        return true;
      }
    }
    return false;
  }
  return false;
}

// [SECTION] The report's steps
namespace {

// Linux keeps no sharing mode per region, so the column says so rather than
// guess one. For the free-space totals, reserved space that may be neither
// read, written nor run counts as empty.
bool is_reserved(const mem_region& r) {
  return r.perms[0] == '-' && r.perms[1] == '-' && r.perms[2] == '-';
}

std::string image_name(const mem_region& r) {
  Dl_info di;
  if (dladdr(reinterpret_cast<void*>(r.lo), &di)) {
    if (!di.dli_fname || !*di.dli_fname) return "null";
    const char* slash = strrchr(di.dli_fname, '/');
    return slash ? slash + 1 : di.dli_fname;
  }
  // No loaded image holds it: the kernel's own name for the mapping
  // ("[heap]", "[stack]", a mapped file), empty for anonymous memory.
  size_t slash = r.path.rfind('/');
  return slash == std::string::npos ? r.path : r.path.substr(slash + 1);
}

class report_file {
 public:
  explicit report_file(FILE* f) : f_(f) {}
  // "% 5u%c": the scaled count right-aligned in five places, then the unit.
  void sized(const char* before, uint64_t bytes, const char* after) {
    fprintf(f_, "%s%5llu%c%s\n", before, static_cast<unsigned long long>(mem_to_number(bytes)),
            mem_to_suffix(bytes), after);
  }
  FILE* f() { return f_; }

 private:
  FILE* f_;
};

#ifndef NIMBREL_NO_ALLOCATOR
void append_text(const char* msg, void* arg) { static_cast<std::string*>(arg)->append(msg); }
#endif

// The first report of a run truncates the file, later ones append; standard
// output stands in when the file cannot be opened.
FILE* open_report() {
  FILE* file =
      UTL_fopen_regular((app_path + "MemoryLog.txt").c_str(), mem_report.first_report ? "w" : "a");
  mem_report.first_report = false;
  return file;
}

void write_system_figures(report_file& out, const mem_facts& facts) {
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  fprintf(out.f(), "Linux Info:\n");
  out.sized("    Page size:        ", page, "      This is the size of one virtual memory page.");
  out.sized(
      "    Vsize (reported): ", facts.vsize,
      "      This is the total virtual address space used by Nimbrel (including empty regions).");
  out.sized("    Rsize:            ", facts.rsize,
            "      This is the total amount of real RAM used by Nimbrel (virtual pages resident in "
            "RAM).");
  out.sized("    Free pages:       ", facts.mem_free,
            "      This is the total free RAM on the machine.");
  out.sized(
      "    Active Pages:     ", facts.active,
      "      This is the total actively used RAM among all apps - it probably can't be paged out "
      "without causing huge performance problems.");
  out.sized("    Inactive Pages:   ", facts.inactive,
            "      This is the total inactive RAM from all apps - pages that is elligible to be "
            "paged out "
            "since it hasn't been used recently.");
  out.sized("    Wired Pages:      ", facts.wired,
            "      This is the total wired RAM - pages that are 'wired down' and cannot ever be "
            "paged out.");
  // The kernel counts swap in bytes already, so nothing is multiplied.
  out.sized("    Total Swap Pages: ", facts.swap_total, "");
  out.sized("    Avail Swap Pages: ", facts.swap_free, "");
  out.sized("    Used  Swap Pages: ",
            facts.swap_total > facts.swap_free ? facts.swap_total - facts.swap_free : 0, "");
}

// What the walk over the address-space map adds up.
struct map_totals {
  uint64_t largest_gap = 0, total_gap = 0, largest_free = 0, total_free = 0;
  uint64_t vsize = 0, private_bytes = 0, shared_bytes = 0;
};

// One line per mapping, and one per unmapped gap before it.
map_totals write_address_map(FILE* file, const std::vector<mem_region>& regions) {
  fprintf(file, "    I will now print the entire map of virtual memory.\n");
  fprintf(file,
          "        Address                   Size    r-private r-shared sharing-mode (ref count)"
          "   [Linux keeps neither: the mode reads not available, the count 0]\n");
  map_totals t;
  uint64_t prev_end = 0;
  for (const mem_region& r : regions) {
    // The vsyscall page lies beyond the hole between the two halves of the
    // 64-bit address space; that hole is no address space of the process.
    const bool beyond_user_half = r.lo >= (uint64_t{1} << 47);
    if (r.lo > prev_end && !beyond_user_half) {
      const uint64_t gap = r.lo - prev_end;
      fprintf(file, "        0x%016llX      %5llu%c               --------\n",
              static_cast<unsigned long long>(prev_end),
              static_cast<unsigned long long>(mem_to_number(gap)), mem_to_suffix(gap));
      if (gap > t.largest_gap) t.largest_gap = gap;
      t.total_gap += gap;
    }
    const uint64_t size = r.hi - r.lo;
    fprintf(file, "        0x%016llX      %5llu%c       %5llu%c %5llu%c   %20s (%3d)       %s\n",
            static_cast<unsigned long long>(r.lo),
            static_cast<unsigned long long>(mem_to_number(size)), mem_to_suffix(size),
            static_cast<unsigned long long>(mem_to_number(r.private_bytes)),
            mem_to_suffix(r.private_bytes),
            static_cast<unsigned long long>(mem_to_number(r.shared_bytes)),
            mem_to_suffix(r.shared_bytes), "not available", 0, image_name(r).c_str());
    if (is_reserved(r)) {
      t.total_free += size;
      if (size > t.largest_free) t.largest_free = size;
    } else {
      t.vsize += size;
    }
    t.private_bytes += r.private_bytes;
    t.shared_bytes += r.shared_bytes;
    prev_end = r.hi;
  }
  return t;
}

void write_map_totals(report_file& out, const map_totals& t) {
  out.sized("    Total vsize:     ", t.vsize,
            "      This is the total non-empty virtual address space used by Nimbrel.");
  out.sized(
      "    Total rsize:     ", t.private_bytes + t.shared_bytes,
      "      This is the total amount of real memory used by Nimbrel (shared and exclusive).");
  out.sized(
      "    Shared rsize:    ", t.shared_bytes,
      "      This is the total amonut of real memory used by Nimbrel that is shared with other "
      "processes.");
  out.sized("    Private rsize:   ", t.private_bytes,
            "      This is the total amount of real memory used by Nimbrel exclusively (private).");
  out.sized("    Largest free:    ", t.largest_free,
            "      This is the largest empty region in Nimbrel's address space.");
  out.sized("    Total free:      ", t.total_free,
            "      This is the size of all empty regions in Nimbrel's address space.");
  out.sized("    Largest gap:     ", t.largest_gap,
            "      This is the size of the largest unused gap in Nimbrel's address space.");
  out.sized("    Total gap:       ", t.total_gap,
            "      This is the size of all of the gaps in Nimbrel's address space - that is, total "
            "unused "
            "address space.");
}

void write_allocator_info(report_file& out) {
  FILE* file = out.f();
#ifdef NIMBREL_NO_ALLOCATOR
  fprintf(file, "ALLOCATOR INFO:\n");
  fprintf(file,
          "    This build of Nimbrel is using the sanitizer's allocator, which reports no figures "
          "here.\n");
#else
  size_t elapsed, user, sys, rss, peak_rss, commit = 0, peak_commit = 0, faults;
  mi_process_info(&elapsed, &user, &sys, &rss, &peak_rss, &commit, &peak_commit, &faults);
  std::string stats;
  mi_stats_print_out(append_text, &stats);
  uint64_t reserved = 0;
  const bool have_reserved = mem_allocator_stat(stats, "reserved", &reserved);
  fprintf(file, "MIMALLOC INFO:\n");
  fprintf(file, "    This version of Nimbrel is using the mimalloc allocator.\n");
  out.sized("    Arena:             ", 0, "     n/a with mimalloc: it maps all of its space.");
  fprintf(file, "    Free Chunks:       %5u       n/a with mimalloc.\n", 0u);
  out.sized("    Mapped Space:      ", reserved,
            have_reserved ? "     This is the space mimalloc has reserved from the OS via mmap."
                          : "     n/a: mimalloc's statistics did not list it.");
  out.sized("    Max Alloc Space:   ", peak_commit,
            "     This is the most space mimalloc ever had committed from the OS.");
  out.sized("    Total Alloc Space: ", commit,
            "     This is the space mimalloc has committed now.");
  out.sized("    Total Free Space:  ", 0,
            "     n/a with mimalloc: this build of it does not count the bytes in use.");
  out.sized("    Total Used Space:  ", 0,
            "     n/a with mimalloc: this build of it does not count the bytes in use.");
  out.sized("    Releasable Space:  ", 0,
            "     n/a with mimalloc: it returns free space by itself.");
  fprintf(file, "    mimalloc's own statistics:\n");
  std::istringstream lines(stats);
  for (std::string line; std::getline(lines, line);) fprintf(file, "    %s\n", line.c_str());
#endif
}

}  // namespace

// [SECTION] The report
int dump_mem_stats(const char* reason) {
  xer << "OK check MemoryLog.txt! I just sent him a dump from " << reason << "\n";
  FILE* const own_file = open_report();
  FILE* const file = own_file ? own_file : stdout;
  report_file out(file);
  mem_facts facts;
  g_core_hooks.read_memory_facts(facts);

  fprintf(file, "dump_mem_stats: %s\n", reason);
  write_system_figures(out, facts);
  write_map_totals(out, write_address_map(file, facts.regions));
  write_allocator_info(out);
  if (own_file)
    fclose(file);
  else
    fflush(file);
  return 0;
}
