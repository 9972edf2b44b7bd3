// The question window: what to do with a file of the user's that the
// install would overwrite or delete.
#include "installer/question.h"

#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "installer/update/decisions.h"
#include "platform/frame.h"
#include "widgets/buttons.h"
#include "widgets/frames.h"

select_answer question_window(const std::string& local_path, int deleting) {
  const char* line1 = deleting ? "I am about to DELETE:" : "I am about to install:";
  const char* line2 =
      deleting ? "because we no longer use this file, but it appears you have modified it. What "
                 "to do?"
               : "but it appears you have modified this file. What to do?";
  const char* act = deleting ? "DELETE THE OLD FILE" : "OVERWRITE THE OLD FILE";
  const char* act_all = deleting ? "DELETE EVERY OLD FILE IN THIS DIRECTORY"
                                 : "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY";
  const struct {
    float x, y, w;
    const char* label;
    select_answer answer;
  } buttons[] = {
      {96, 53, 160, act, answer_act},
      {96, 28, 160, "KEEP THE OLD FILE", answer_keep},
      {308, 53, 260, act_all, answer_act_all},
      {308, 28, 260, "KEEP EVERY OLD FILE IN THIS DIRECTORY", answer_keep_all},
      {584, 28, 200, "CANCEL THE WHOLE INSTALLATION!", answer_cancel},
  };

  xer.flush();
  stls.title_for(wind_question) = "A file you changed";
  MACIBM_startwind(wind_question);
  while (mnw.cur_window == wind_question) {
    OGL_plot_back_col();
    BTN_fillwin(1, kFillwinBare);
    const float wrap = mnw.window_dx - 40;
    OGL_string(colr_label, 20, 100, line1, wrap, charset_ui, align_left);
    OGL_string(colr_label, 20, 90, local_path, wrap, charset_ui, align_left);
    OGL_string(colr_label, 20, 80, line2, wrap, charset_ui, align_left);
    for (const auto& b : buttons)
      if (BTN_action(b.x, b.y, b.w, 0, 1, b.label, "-")) {
        xer << "Answered: " << b.label << "\n";
        xer.flush();
        MACIBM_startwind(wind_main);
        return b.answer;
      }
    // The program is closing: nothing more is decided.
    if (close_requested) break;
    MACIBM_event_proc();
  }
  if (mnw.cur_window == wind_question) MACIBM_startwind(wind_main);
  return answer_cancel;
}
