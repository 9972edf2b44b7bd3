// What Linux tells about memory, for the core's memory report: installed as
// g_core_hooks.read_memory_facts by PLAT_install_hooks.
#pragma once

#include "core/memory/memory_report.h"

// The process's sizes from /proc/self/status, the machine's RAM and swap
// from /proc/meminfo, and the address-space map from /proc/self/smaps. A
// file that cannot be read leaves its figures 0 (its map empty).
void PLAT_read_memory_facts(mem_facts& facts);
