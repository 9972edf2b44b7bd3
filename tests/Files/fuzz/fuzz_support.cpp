// What the library file reader needs from the rest of the program, for its
// fuzzing harness: the program-wide streams and tables, and an alert that
// lets warnings pass but stops at a fatal one, since nothing in a library
// file may end the run.
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/alert.h"
#include "core/hooks.h"

std::ofstream xer;
std::ofstream ouf;
std::string app_path;
int g_case_sensitive = 0;
float randrat[10000];
core_hooks g_core_hooks;

void __MACIBM_alert(int, const char*, const char*, const char*, const char*, int type, const char*,
                    int) {
  if (type == t_exit) abort();
}
