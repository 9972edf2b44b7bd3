// The alert's entry point: a call off the main thread becomes an error record
// for it; on the main thread the installed handler shows the message.
#include "core/alert.h"

#include <cstdlib>

#include "core/exception.h"
#include "core/globals.h"
#include "core/threads/threads.h"

// Before the shell is up (or in programs without one) the log is all there is.
void CORE_log_alert(int, const std::string (&lines)[4], const std::string& where, int type) {
  for (const std::string& l : lines) xer << l << "\n";
  xer << where << "\n";
  xer.flush();
  if (type == t_exit) exit(1);
}

alert_hooks g_alert_hooks;

void __MACIBM_alert(int window, const char* line1, const char* line2, const char* line3,
                    const char* line4, int type, const char* source_file, int source_line) {
  const std::string lines[4] = {line1 ? line1 : "", line2 ? line2 : "", line3 ? line3 : "",
                                line4 ? line4 : ""};
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    THREAD_send_exception(
        exce_class(lines[0], lines[1], lines[2], lines[3], source_file, source_line, type));
    return;
  }
  const std::string where = std::string("(") + (source_file ? source_file : "") + " line " +
                            std::to_string(source_line) + ")";
  g_alert_hooks.show(window, lines, where, type);
  // A handler must not return from a fatal alert; if one does, the run ends anyway.
  if (type == t_exit) exit(1);
}
