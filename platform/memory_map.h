// The process's address-space map for the crash handler: installed as
// g_core_hooks.walk_memory_map by PLAT_install_hooks.
#pragma once

#include "core/hooks.h"

// Visits the regions of /proc/self/maps in ascending order until visit
// returns false or the map ends; an unreadable map visits nothing. Safe in a
// signal handler: open/read/close and a stack buffer only, no allocation.
void PLAT_walk_memory_map(memory_region_visitor visit, void* context);
