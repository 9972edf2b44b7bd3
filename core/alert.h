// The program-wide alert: every message the user must see goes through it.
// The ground floor owns the entry point; the platform shell installs the
// handler that shows it, so no layer needs to reach up to show a message.
#pragma once

#include <string>

// What an alert does once shown.
enum alert_type {
  t_note = 0,   // the language chooser; logged only when another alert is showing
  t_alert = 1,  // shown, logged, the caller goes on once it is dismissed
  t_exit = 2,   // shown, logged, then the orderly shut-down with exit status 1
};

// window: the window id to return to; four message lines; type an alert_type.
// Off the main thread (once the thread layer runs) the call becomes an error
// record for the main thread: t_exit ends the calling thread.
void __MACIBM_alert(int window, const char* line1, const char* line2, const char* line3,
                    const char* line4, int type, const char* source_file, int source_line);

#define MACIBM_alert(window, l1, l2, l3, l4, type) \
  __MACIBM_alert((window), (l1), (l2), (l3), (l4), (type), __FILE__, __LINE__)

// Shows an alert on the main thread. lines: the four message lines; where:
// "(file line N)". A t_exit handler never returns.
using alert_handler = void (*)(int window, const std::string (&lines)[4], const std::string& where,
                               int type);
// The ground floor's own way to show one: the lines go to the log and a
// t_exit alert ends the run with status 1.
void CORE_log_alert(int window, const std::string (&lines)[4], const std::string& where, int type);

// The alert's seam: the platform shell installs the handler that shows the
// message (PLAT_install_hooks); until then the log is all there is.
struct alert_hooks {
  alert_handler show = CORE_log_alert;
};
extern alert_hooks g_alert_hooks;
