// The shell's side of the program-wide alert (core/alert.h): the window that
// shows it, and the three-button question.
#pragma once

#include <string>

#include "core/alert.h"

// An alert is showing: one raised meanwhile goes to the desktop's box and
// then ends the run. A fatal alert leaves it set; reset() clears it.
struct alert_state {
  int in_alert = 0;

  void reset() { *this = alert_state(); }
};
extern alert_state g_alert;

// The handler installed at start-up: modal window 995 inside the frame loop
// once OpenGL is up, the desktop's own message box before that or while
// another alert is showing; "--fps_test" turns every alert into log lines.
void PLAT_show_alert(int window, const std::string (&lines)[4], const std::string& where, int type);

// A three-button question in window 996; returns the button chosen (1 to 3),
// 3 when the window was closed some other way.
int MACIBM_nuke_alert(const std::string& name, int allow_third);
