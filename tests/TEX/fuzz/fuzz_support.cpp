// What the readers need from the rest of the program, for the fuzzing
// harnesses: the log stream, the path prefix and its letter-case rule, and an alert that turns a
// fatal alert into an exception the harness catches, since a fuzzed file may
// legitimately end the program.
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/alert.h"

std::ofstream xer;
std::string app_path;
int g_case_sensitive = 0;

void __MACIBM_alert(int, const char*, const char*, const char*, const char*, int type, const char*,
                    int) {
  if (type == t_exit) throw std::runtime_error("fatal alert");
}
