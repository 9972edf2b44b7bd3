// The shell's start-up and shut-down as far as the window-less program needs
// them: working folder, log, option parsing, preferences on the way out.
#include "platform/shell.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "core/cmdline.h"
#include "core/constants.h"
#include "core/globals.h"
#include "core/memory/crash.h"
#include "core/prefs.h"
#include "core/threads/threads.h"

int app_done = 0;
int g_case_sensitive = 0;
float randrat[10000];

static bool g_finished = false;

void MACIBM_set_app_path(std::string& out) {
  char buf[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
  out.clear();
  if (n > 0) {
    buf[n] = 0;
    out = buf;
    size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash + 1);
  }
  app_path.clear();
}

static void fill_random_table() {
  srand(1);
  for (float& r : randrat) r = static_cast<float>(rand()) * 4.656613e-10f * 0.9999f;
}

void MACIBM_init(int argc, const char** argv) {
  UTL_debug_init();
  std::string folder;
  MACIBM_set_app_path(folder);
  if (!folder.empty() && chdir(folder.c_str()) != 0) perror("chdir");
  xer.open("Log.txt", std::ios::out | std::ios::trunc);
  xer << build_name[0] << "\n";
  fill_random_table();
  cmdline.init_unix(argc, argv);
  THREAD_init();
  g_case_sensitive = 1;  // Linux file systems are case-sensitive
  // The window and its OpenGL capabilities come before the workers, which
  // may ask for a shared context.
  THREAD_make_workers();
}

void MACIBM_finishup(int save) {
  if (g_finished) return;
  g_finished = true;
  if (save && !cmdline.has_option("--fps_test")) pref.IO_set(11, 1);
  // The workers stop before anything is torn down, so that a fatal alert's
  // exit(1) never runs global destructors under a running thread.
  if (save) THREAD_shutdown();
  if (xer.is_open()) xer.close();
  fflush(stdout);
}
