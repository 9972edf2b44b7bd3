// Seams through which the ground floor reaches work that belongs to higher
// layers. The higher layer installs them at start-up (the platform shell does
// it in PLAT_install_hooks); until then each does nothing.
#pragma once

struct core_hooks {
  // The orderly shut-down; save: write the preferences. launch_app calls it
  // before it ends the run.
  void (*finishup)(int save) = nullptr;
  // A mouse press this frame: the widgets give up the keyboard focus.
  void (*mouse_pressed)() = nullptr;
  // The interface's colour pulse, 0.4 to 1.0, once per frame.
  void (*pulse)(float level) = nullptr;
  // An OpenGL context for a new thread that shares objects with the main one,
  // made on the creating thread; null when threads get none.
  void* (*make_thread_context)() = nullptr;
  // Makes such a context current on the thread that runs it.
  int (*set_thread_context)(void* context) = nullptr;
  // Deletes such a context once its thread has ended.
  void (*free_thread_context)(void* context) = nullptr;
  // Reads an image (its ".dds", ".png" and ".bmp" variants in turn) as one
  // byte of alpha per pixel, the bottom row first; the caller frees the
  // pixels with ::operator delete. 1 on success; 0 for a missing, damaged or
  // foreign file, which never ends the run.
  int (*load_alpha_image)(const char* path, unsigned char** pixels, int* width,
                          int* height) = nullptr;
};

extern core_hooks g_core_hooks;
