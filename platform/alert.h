// The one alert function: every message the user must see goes through it.
#pragma once

#include <string>

enum { t_note = 0, t_alert = 1, t_exit = 2 };

// window: the window id to return to; four message lines; type t_note, t_alert
// or t_exit (logged, then orderly shut-down with exit status 1: never returns).
void __MACIBM_alert(int window, const char* line1, const char* line2, const char* line3,
                    const char* line4, int type, const char* source_file, int source_line);

#define MACIBM_alert(window, l1, l2, l3, l4, type) \
  __MACIBM_alert((window), (l1), (l2), (l3), (l4), (type), __FILE__, __LINE__)

// A three-button question in window 996; returns the button chosen (1 to 3),
// 3 when the window was closed some other way.
int MACIBM_nuke_alert(const std::string& name, int allow_third);
