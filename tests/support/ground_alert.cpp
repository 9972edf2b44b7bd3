// The alert of the test programs below the shell. They have no shell to show
// an alert in, so the ground floor's own handler serves, as in a program that
// has not installed the shell's hooks; each message is also printed on the
// standard error stream, where a death test looks for it, as the shell's
// handler prints it when there is no display.
#include <cstdio>
#include <string>

#include "core/alert.h"

namespace {

void print_then_log(int window, const std::string (&lines)[4], const std::string& where, int type) {
  for (const std::string& line : lines) fprintf(stderr, "%s\n", line.c_str());
  fprintf(stderr, "%s\n", where.c_str());
  fflush(stderr);
  CORE_log_alert(window, lines, where, type);
}

// Linked as an object, so it is in place before the first test, in every
// program that has it.
const bool installed = (g_alert_hooks.show = print_then_log, true);

}  // namespace
