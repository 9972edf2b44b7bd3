// Seams through which the ground floor reaches work that belongs to higher
// layers. The platform shell installs them at start-up (PLAT_install_hooks);
// until then each is the ground floor's own harmless default below, so a
// caller calls a hook without asking whether one is installed.
#pragma once

#include <cstdint>

#include "core/memory/memory_report.h"

// Told of one region of the address space, lowest first; returns false to
// stop the walk.
typedef bool (*memory_region_visitor)(uintptr_t lo, uintptr_t hi, bool readable, bool writable,
                                      void* context);

namespace core_hook_defaults {
inline void finishup(int) {}
inline void mouse_pressed() {}
inline void pulse(float) {}
inline void* make_thread_context() { return nullptr; }
inline int set_thread_context(void*) { return 0; }
inline void free_thread_context(void*) {}
inline int load_alpha_image(const char*, unsigned char**, int*, int*) { return 0; }
inline void read_memory_facts(mem_facts&) {}
inline void walk_memory_map(memory_region_visitor, void*) {}
}  // namespace core_hook_defaults

struct core_hooks {
  // The orderly shut-down; save: write the preferences. launch_app calls it
  // before it ends the run. Without a shell there is nothing to shut down.
  void (*finishup)(int save) = core_hook_defaults::finishup;
  // A mouse press this frame: the widgets give up the keyboard focus.
  void (*mouse_pressed)() = core_hook_defaults::mouse_pressed;
  // The interface's colour pulse, 0.4 to 1.0, once per frame.
  void (*pulse)(float level) = core_hook_defaults::pulse;
  // An OpenGL context for a new thread that shares objects with the main one,
  // made on the creating thread; null when threads get none (always, without
  // a shell).
  void* (*make_thread_context)() = core_hook_defaults::make_thread_context;
  // Makes such a context current on the thread that runs it.
  int (*set_thread_context)(void* context) = core_hook_defaults::set_thread_context;
  // Deletes such a context once its thread has ended.
  void (*free_thread_context)(void* context) = core_hook_defaults::free_thread_context;
  // Reads an image (its ".dds", ".png" and ".bmp" variants in turn) as one
  // byte of alpha per pixel, the bottom row first; the caller frees the
  // pixels with ::operator delete. 1 on success; 0 for a missing, damaged or
  // foreign file, which never ends the run, and always 0 without a reader.
  int (*load_alpha_image)(const char* path, unsigned char** pixels, int* width,
                          int* height) = core_hook_defaults::load_alpha_image;
  // Fills in what the system tells about memory for the memory report; by
  // default it tells nothing, and the report shows zeros and an empty map.
  void (*read_memory_facts)(mem_facts& facts) = core_hook_defaults::read_memory_facts;
  // Walks the address-space map for the crash handler, which checks each
  // stack frame against it before reading it; called from a signal handler,
  // so it must be async-signal-safe. By default it visits no region: no
  // memory counts as readable, and a crash log lists only the faulting
  // instruction.
  void (*walk_memory_map)(memory_region_visitor visit,
                          void* context) = core_hook_defaults::walk_memory_map;
};

extern core_hooks g_core_hooks;
