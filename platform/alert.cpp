// The program-wide alert. With OpenGL up it is modal window 995 inside the
// frame loop; before that, or when raised while another alert is showing, it
// is the desktop's own message box.
#include <SDL2/SDL.h>

#include <GL/gl.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/cmdline.h"
#include "core/exception.h"
#include "core/globals.h"
#include "core/memory/memory_report.h"
#include "core/threads/threads.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "platform/alert.h"
#include "platform/dialogs/dialogs.h"
#include "platform/frame.h"
#include "platform/gl_hooks.h"
#include "platform/shell.h"
#include "platform/startup.h"
#include "widgets/buttons.h"
#include "widgets/frames.h"

alert_state g_alert;

namespace {

// The box of the desktop: one message and its detail. Texts longer than the
// old 499-character limit are cut; turning them into another alert recursed.
void native_alert(const std::string& message, const std::string& detail) {
  std::string text = PLAT_box_text(message, 499) + "\n\n" + PLAT_box_text(detail, 499);
  if (PLAT_have_display() &&
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Nimbrel", text.c_str(), nullptr) == 0)
    return;
  // Nowhere to show it: the text goes to the standard error stream (the log
  // gets it below), and the box counts as dismissed.
  fprintf(stderr, "%s\n", text.c_str());
}

void reset_gl_state() {
  glEnd();
  glEndList();
  for (int i = 0; i < 30; ++i) glGetError();
  OGL_nrml_colors();
  PLAT_gl_unbind_programs();
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void alert_window(int return_window, const std::string (&lines)[4], const std::string& where,
                  int type) {
  reset_gl_state();
  const float mouse_x = mnw.mouse_x, mouse_y = mnw.mouse_y;
  MACIBM_startwind(wind_alert);
  while (mnw.cur_window == wind_alert) {
    OGL_plot_back_col();
    BTN_fillwin(1, kFillwinBare);
    BTN_subwin(0, frame_panel, -1, 35, -1, -1, "", &wx, &wy);
    std::string label = stls.ok_label;
    if (type == t_note) {
      BTN_is_int(mnw.window_dx * 0.5f - 25, 180, &mnw.lang, 0, "|English");
      BTN_is_int(mnw.window_dx * 0.5f - 25, 160, &mnw.lang, 1, "|French");
      stls.window_title = "Language/";
      label = "Accept";
    } else {
      const float ys[4] = {205, 165, 125, 85};
      for (int i = 0; i < 4; ++i)
        OGL_string(colr_label, mnw.window_dx * 0.5f, ys[i], lines[i], mnw.window_dx * 0.9f,
                   charset_ui, align_centre);
      if (type == t_exit)
        OGL_string(colr_label, mnw.window_dx * 0.5f, 45, where, mnw.window_dx * 0.9f, charset_ui,
                   align_centre);
    }
    const int pressed = BTN_action(mnw.window_dx * 0.5f, 18, 0, 0, 1, label, "-");
    if (pressed || return_hit) {
      return_hit = 0;
      if (type == t_exit) return;
      MACIBM_startwind(return_window);
      mnw.mouse_x = mouse_x;
      mnw.mouse_y = mouse_y;
      if (mnw.cur_window == wind_alert) MACIBM_event_proc();
      continue;
    }
    if (mnw.cur_window == wind_alert) MACIBM_event_proc();
  }
}

}  // namespace

void PLAT_show_alert(int return_window, const std::string (&lines)[4], const std::string& where,
                     int type) {
  if (cmdline.has_option("--fps_test")) {
    for (const std::string& l : lines) xer << l << "\n";
    xer << where << "\n";
    xer.flush();
    if (type != t_exit) return;
    // No orderly shut-down on this path, but the application's jobs out
    // still end before the process does.
    if (!THREAD_is_inited() || THREAD_is_main_thread()) g_app_hooks.stop();
    exit(1);
  }

  int& in_alert = g_alert.in_alert;
  const int reentered = in_alert;
  in_alert = 1;
  if (ogl_inited && !reentered) {
    bool all_empty = true;
    for (const std::string& l : lines) all_empty &= l.empty();
    if (!all_empty) alert_window(return_window, lines, where, type);
  } else {
    native_alert(lines[0] + " " + lines[1], lines[2] + " " + lines[3]);
  }

  if (type == t_alert || type == t_exit || reentered) {
    dump_mem_stats(
        "This is the dump_mem_stats call from the following code: if(type==t_exit || type == "
        "t_alert || recursive_error)");
    xer << "\n";
    for (const std::string& l : lines) xer << l << "\n";
    xer << where << "\n";
    xer.flush();
  }
  if (type != t_exit && !reentered) {
    in_alert = 0;
    return;
  }
  MACIBM_finishup(0);
  app_done = 1;
  exit(1);
}

int MACIBM_nuke_alert(const std::string& name, int allow_third) {
  MACIBM_startwind(wind_message);
  while (mnw.cur_window == wind_message) {
    const std::string text = stls.nuke_msg_pre + name + " " + stls.nuke_msg_post;
    OGL_plot_back_col();
    BTN_fillwin(1, kFillwinBare);
    OGL_string(colr_label, 20, mnw.window_dy - 40, text, mnw.window_dx - 40, charset_ui,
               align_left);
    float w = OGL_string_width(stls.nuke_btn_1, charset_ui);
    if (BTN_action(20 + w / 2, 60, 0, 0, 1, stls.nuke_btn_1, "-")) {
      MACIBM_startwind(wind_main);
      return 1;
    }
    w = OGL_string_width(stls.nuke_btn_2, charset_ui);
    if (BTN_action(20 + w / 2, 25, 0, 0, 1, stls.nuke_btn_2, "-")) {
      MACIBM_startwind(wind_main);
      return 2;
    }
    if (allow_third) {
      w = OGL_string_width(stls.nuke_btn_3, charset_ui);
      if (BTN_action(mnw.window_dx - w / 2 - 20, 25, 0, 0, 1, stls.nuke_btn_3, "-")) {
        MACIBM_startwind(wind_main);
        return 3;
      }
    }
    MACIBM_event_proc();
  }
  return 3;
}
