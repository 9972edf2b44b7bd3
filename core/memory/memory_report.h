// The memory report "MemoryLog.txt": the system's figures for the process and
// the machine, the process's whole address-space map with totals, and the
// allocator's statistics.
#pragma once

#include <cstdint>
#include <string>

// A byte count scaled for the report: above 14 GiB in G, above 1.4 MiB in M,
// above 1.4 KiB in K, else bytes. The two share one rule.
uint64_t mem_to_number(uint64_t bytes);
char mem_to_suffix(uint64_t bytes);
// Text of a sharing mode: 1 "Copy-on-write" ... 7 "Shared-Aliased", else "Unknown".
const char* sm_string(uint8_t mode);
// Writes one report: the first of a run truncates the file, later ones append.
int dump_mem_stats(const char* reason);
void DumpMemCmd();
// The "current" column of one line of the allocator's statistics text, in
// bytes; false when the line is not there.
bool mem_allocator_stat(const std::string& stats_text, const char* label, uint64_t* bytes);
