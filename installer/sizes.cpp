// Size texts, the new-format message and the progress panel of a long
// reading.
#include "installer/sizes.h"

#include <cmath>

#include "core/alert.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "installer/screen.h"
#include "installer/update/transfer.h"
#include "platform/frame.h"
#include "platform/web.h"
#include "widgets/frames.h"

void set_size_str(float kb, std::string& out) {
  const float mb = kb * 0.001f;
  std::string number;
  if (mb < 1000.0f) {
    flt_to_str(mb, &number, 2, 1, 0);
    out = number + " Meg";
  } else {
    flt_to_str(mb * 0.001f, &number, 2, 1, 0);
    out = number + " Gig";
  }
}

void new_format(const std::string& path) {
  const std::string site = "No problem... grab it at the download section of " + web_host + ".";
  // Source and line as the message has always carried them.
  __MACIBM_alert(wind_main,
                 "OK I am checking the Tessaly Works servers and I am finding file formats that "
                 "are newer than I can understand!",
                 "In other words, you need to get a new installer!", site.c_str(), path.c_str(),
                 t_alert, "Installer-f/utils", 141);
  go_to_URL("http://" + web_host + "/demo.html");
  stg.install_phase = phase_ended;
  app_done = 1;
}

progress_panel_layout dir_progress_layout(float lo, float value, float hi, int pixel_dx,
                                          int pixel_dy) {
  progress_panel_layout l;
  l.left = (pixel_dx - 512) * 0.5f;
  l.bottom = (pixel_dy - 138) * 0.5f;
  float f = lo == hi ? 0.52f : 0.04f + 0.96f * (value - lo) / (hi - lo);
  if (!std::isfinite(f) || f < 0.04f) f = 0.04f;
  if (f > 1.0f) f = 1.0f;
  l.fraction = f;
  l.x1 = l.left + 30;
  l.x2 = l.left + 482;
  l.y = l.bottom + 35;
  l.fill = l.x1 + f * (l.x2 - l.x1);
  return l;
}

void dir_progress_panel(float lo, float value, float hi, int stage, const std::string& title,
                        const std::string& detail) {
  const char* middle = stage == 0   ? "Currently SCANNING the directory text file."
                       : stage == 1 ? "Currently EXAMINING the hard disk."
                                    : "";
  const progress_panel_layout l = dir_progress_layout(lo, value, hi, mnw.pixel_dx, mnw.pixel_dy);
  BTN_frame2(frame_panel_dark, l.left + 20, l.bottom + 20, 472, 98, "");
  const float ox = mnw.origin_x, oy = mnw.origin_y;
  BTN_frame1(frame_progress_track, (l.x1 + l.x2) / 2 - ox, l.y - oy, l.x2 - l.x1, 0);
  BTN_frame1(frame_progress_fill, (l.x1 + l.fill) / 2 - ox, l.y - oy, l.fill - l.x1, 0);
  OGL_string(colr_art, l.left + 32, l.bottom + 100, title, 452, charset_ui, align_left);
  OGL_string(colr_art, l.left + 32, l.bottom + 80, middle, 452, charset_ui, align_left);
  OGL_string(colr_art, l.left + 32, l.bottom + 60, detail, 452, charset_ui, align_left);
}

void dir_progress_bar(float lo, float value, float hi, int stage, const std::string& title,
                      const std::string& detail) {
  draw_background();
  dir_progress_panel(lo, value, hi, stage, title, detail);
  OGL_sbuff();
}

void dir_progress_frame(float lo, float value, float hi, int stage, const std::string& title,
                        const std::string& detail) {
  dir_progress_bar(lo, value, hi, stage, title, detail);
  MACIBM_pump_events();
}
