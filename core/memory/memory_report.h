// The memory report "MemoryLog.txt": the system's figures for the process and
// the machine, the process's whole address-space map with totals, and the
// allocator's statistics. The system's figures come through
// g_core_hooks.read_memory_facts, which the platform layer fills.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One mapping of the process's address space, as the memory report lists it.
struct mem_region {
  uint64_t lo = 0, hi = 0;
  char perms[5] = {};  // "rwxp" as the system shows them
  std::string path;    // the mapped file or the kernel's name for it; "" when anonymous
  uint64_t private_bytes = 0, shared_bytes = 0;  // resident, in bytes
};

// What the system tells about the process's and the machine's memory, in
// bytes. A figure the system does not give stays 0, as the report shows it.
struct mem_facts {
  uint64_t vsize = 0, rsize = 0;                               // the process
  uint64_t mem_free = 0, active = 0, inactive = 0, wired = 0;  // the machine's RAM
  uint64_t swap_total = 0, swap_free = 0;                      // the machine's swap
  std::vector<mem_region> regions;                             // lowest address first
};

// A byte count scaled for the report: above 14 GiB in G, above 1.4 MiB in M,
// above 1.4 KiB in K, else bytes. The two share one rule.
uint64_t mem_to_number(uint64_t bytes);
char mem_to_suffix(uint64_t bytes);
// Text of a sharing mode: 1 "Copy-on-write" ... 7 "Shared-Aliased", else "Unknown".
const char* sm_string(uint8_t mode);
// Writes one report: the first of a run truncates the file, later ones append.
int dump_mem_stats(const char* reason);
// The report's state: whether the run has written one yet. reset() makes the
// next report the first again.
struct mem_report_state {
  bool first_report = true;
  void reset() { *this = mem_report_state(); }
};
extern mem_report_state mem_report;
void DumpMemCmd();
// The "current" column of one line of the allocator's statistics text, in
// bytes; false when the line is not there.
bool mem_allocator_stat(const std::string& stats_text, const char* label, uint64_t* bytes);
