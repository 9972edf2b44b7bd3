// The alert before the window exists: the lines go to the log (and to the
// standard error stream), and a fatal alert ends the run in order.
#include <cstdio>
#include <cstdlib>

#include "core/exception.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "platform/alert.h"
#include "platform/shell.h"

void __MACIBM_alert(int /*window*/, const char* line1, const char* line2, const char* line3,
                    const char* line4, int type, const char* source_file, int source_line) {
  if (THREAD_is_inited() && !THREAD_is_main_thread()) {
    // Only the main thread shows anything: the record waits for its next
    // frame. A fatal one ends this thread inside the send.
    exce_class record(line1 ? line1 : "", line2 ? line2 : "", line3 ? line3 : "",
                      line4 ? line4 : "", source_file, source_line, type);
    THREAD_send_exception(record);
    return;
  }
  const char* lines[4] = {line1, line2, line3, line4};
  const char* kind = type == t_exit ? "FATAL ALERT" : type == t_alert ? "ALERT" : "NOTE";
  if (xer.is_open()) {
    xer << "--- " << kind << " (" << source_file << " line " << source_line << ")\n";
    for (const char* l : lines) xer << (l ? l : "") << "\n";
    xer.flush();
  }
  fprintf(stderr, "%s (%s line %d)\n", kind, source_file, source_line);
  for (const char* l : lines) fprintf(stderr, "  %s\n", l ? l : "");
  if (type == t_exit) {
    app_done = 1;
    MACIBM_finishup(1);
    exit(1);
  }
}
