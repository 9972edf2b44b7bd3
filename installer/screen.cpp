// The installer's screen: the status line and the message box's lines from
// the state of the fetch and the install, and the drawing of the background,
// the destination field, the panels and the progress bar.
//
// Contents
//   [SECTION] Texts
//   [SECTION] Drawing
#include "installer/screen.h"

#include <cmath>

#include "core/clock.h"
#include "core/constants.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "Files/volume.h"
#include "installer/fetch.h"
#include "installer/sizes.h"
#include "installer/start.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "net/down_class.h"
#include "net/http.h"
#include "widgets/frames.h"

screen_state g_screen;

void screen_reset() { g_screen = screen_state(); }

// [SECTION] Texts

screen_text status_line(const status_inputs& in) {
  const std::string checking =
      "I am checking the net for the latest version of Nimbrel right now, and I am ";
  if (in.all_done) return {"INSTALLATION COMPLETE!", colr_success};
  if (in.server_count == -1)
    return {"Looking for servers... you need internet for this...", colr_normal_text};
  if (in.server_count == 0)
    return {"I could not find any servers to get Nimbrel from!", colr_failure};
  if (in.no_mirror_left)
    return {
        "None of the servers gave me a directory of Nimbrel files I can use! Check your net "
        "service, or choose a server below to try it again.",
        colr_failure};
  switch (in.dir_state) {
    case dir_fetching:
      return {in.manifest_percent < 0
                  ? checking + "connecting to the server..."
                  : checking + std::to_string(in.manifest_percent) + "% done checking.",
              colr_normal_text};
    case dir_fetched:
      return {"I have downloaded the directory of files I need, and am now trying to read it...",
              colr_normal_text};
    case dir_no_version:
      return {"I can not find a version of Nimbrel on the net! Grab a new installer from " +
                  web_host + ", or check net service!",
              colr_failure};
    default:
      break;
  }
  if (in.installing && in.waited >= 0) {
    // Whole seconds, the next try rounded up so that a pause never reads 0.
    const std::string next_try = in.retry_in > 0
                                     ? "next try in " + time_left_text(std::ceil(in.retry_in))
                                     : "trying again now";
    return {"Waiting for the server to come back: " + time_left_text(in.waited) + " so far, " +
                next_try + ", giving up after " + time_left_text(in.patience) + "...",
            colr_normal_text};
  }
  if (in.installing) return {"OK I am installing this now...", colr_normal_text};
  if (in.dest_is_sim)
    return {
        "You have selected an earlier version of Nimbrel in the DESTINATION field below, so I "
        "will update that installation  by just grabbing new updated files!",
        colr_normal_text};
  return {
      "To make the download a LOT faster, if you have an earlier version of Nimbrel 9 on your "
      "hard drive, choose that with the DESTINATION button below, and I will UPDATE THAT "
      "FOLDER!",
      colr_normal_text};
}

int manifest_percent() {
  const down_class* d = http.slots[kManifestSlot];
  if (!d) return 0;
  if (d->content_length <= 0) return -1;
  return static_cast<int>(d->written * 100 / d->content_length);
}

void look_at_destination(screen_state& s) {
  const std::string key = dest_dir_path + "\n" + std::to_string(stg.dir_state) + "\n" +
                          std::to_string(stg.install_phase);
  const bool changed = key != s.looked_at;
  // A clock that went back (a new run of the frames) also asks again.
  const float age = xtim.act_time - s.free_kb_at;
  if (!changed && age >= 0.0f && age < kFreeSpaceRecheck) return;
  if (changed) {
    s.looked_at = key;
    s.dest_is_sim = path_is_to_a_sim();
  }
  s.free_kb = static_cast<float>(volume_free_kb(dest_dir_path));
  s.free_kb_at = xtim.act_time;
}

namespace {

void idle_lines(screen_state& s, screen_text out[3]) {
  s.totl_inst_rat = 0.0f;
  s.tot_down_req = stg.down_req;
  s.tot_disk_req = stg.disk_req;
  s.tot_availabl = s.free_kb;
  if (stg.dir_state != dir_read) {
    // While nothing is left to fetch from, no promise of a moment.
    if (stg.server_count == 0 || stg.dir_state == dir_no_version || no_mirror_left()) return;
    out[0].text = "I am figuring out what the latest version of Nimbrel is right now...";
    out[1].text = "This may take a moment as I download the latest list of Nimbrel files...";
    return;
  }
  if (s.tot_disk_req == 0.0f) {
    out[0].text = "Your copy of Nimbrel is already the latest version.";
    out[1].text =
        "(Remember, the BETA installer only checks for the latest BETA version, and the FULL "
        "installer checks only for the latest FULL version of Nimbrel).";
    out[2].text = "This is a full installer.";
    return;
  }
  set_size_str(s.tot_availabl, s.tot_availabl_str);
  set_size_str(s.tot_disk_req, s.tot_disk_req_str);
  out[0].text =
      "You are about to install " + s.tot_disk_req_str + " of files to get " + install_name + ".";
  if (s.tot_disk_req > 0 && s.tot_availabl > 0) {
    out[1].text =
        "You have " + s.tot_availabl_str + " of drive space available for the selected directory.";
    if (s.tot_availabl > s.tot_disk_req) {
      s.disk_space_avail = 1;
      out[2] = {"You may install at will.", colr_success};
    } else {
      s.disk_space_avail = 0;
      out[2] = {"You don't have enough disk space to install this!", colr_failure};
    }
  }
}

void installing_lines(screen_state& s, screen_text out[3]) {
  const install_figures f = install_progress(g_install, s.tot_down_req, s.tot_disk_req);
  s.totl_inst_rat = smooth_progress(s.totl_inst_rat, f.fraction, xtim.prd_act);
  switch (stg.file_action) {
    case action_deleting:
      out[0].text = "Deleting " + crnt_file_name + " because that file is no longer needed!";
      break;
    case action_downloading:
      out[0].text = "Downloading and installing " + crnt_file_name + ", currently " +
                    std::to_string(file_percent(g_install)) + "% done with that file.";
      break;
    case action_current:
      out[0].text = "duplicate filename through file " + crnt_file_name +
                    ", but not installing it because you already have this file.";
      break;
    default:
      out[0].text = "Browsing through file " + crnt_file_name +
                    ", but not installing it because you don't need this file.";
      break;
  }
  std::string percent, installed;
  flt_to_str(100.0f * s.totl_inst_rat, &percent, 3, 1, 0);
  set_size_str(next.installed_kb, installed);
  out[1].text = percent + "% done with the internet install, having installed " + installed +
                " of " + s.tot_disk_req_str + " for the internet install.";
  if (s.totl_inst_rat > 0.01f) {
    const std::string rate = std::to_string(static_cast<int>(f.rate)) + " kilobytes/second with " +
                             std::to_string(f.streams) + " simultaneous download streams.";
    const std::string left = time_left_text(f.seconds_left);
    // Nothing measured yet (only deletions so far): no time to give.
    out[2].text = left.empty() ? "Downloading at " + rate
                               : "About " + left + " left in the install, downloading at " + rate;
  }
}

}  // namespace

void message_lines(screen_state& s, screen_text out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = {"", colr_normal_text};
  if (stg.install_phase == phase_idle) {
    idle_lines(s, out);
  } else if (stg.install_phase == phase_installing) {
    installing_lines(s, out);
  } else if (!stg.install_error) {
    out[0].text = "INSTALLATION COMPLETE!";
  } else {
    out[0] = {"The installation was not completed because an error occurred.", colr_error_text};
    out[1] = {"Nimbrel is not fully installed or updated and may not run correctly.",
              colr_error_text};
    out[2] = {
        "Please try a different server, hard drive, or directory, or contact Customer "
        "Support for help with this problem.",
        colr_error_text};
  }
  if (stg.download_error) {
    out[0] = {"I can NOT download the file '" + crnt_file_path + "'!", colr_error_text};
    out[1] = {
        "Your internet connection may not be working, or the server could be undergoing "
        "maintainance or an upgrade right now.",
        colr_error_text};
    out[2] = {"I am trying another server now to see if I can still get you a download...",
              colr_error_text};
  }
}

// [SECTION] Drawing

void draw_background() {
  // The 1024 x 768 background fills the lower three quarters of its
  // 1024 x 1024 texture.
  OGL_2dquad(tex_slot_ins_back_1, colr_art, 1.0f, 0, 0, 0, 0, 0, 768, 0, 0.75f, 1024, 768, 1, 0.75f,
             1024, 0, 1, 0, 1, 5);
}

void draw_destination() {
  BTN_frame1(frame_value_box, 285, 89, 300, 0);
  // A path wider than the field shows its end, where the folder's name is.
  const float room = 286;
  std::string shown = dest_dir_path;
  if (OGL_string_width(shown, charset_ui) > room) {
    size_t cut = 0;
    while (cut < shown.size() && OGL_string_width("..." + shown.substr(cut), charset_ui) > room)
      ++cut;
    shown = "..." + shown.substr(cut);
  }
  OGL_string(colr_path_text, 142, 86, shown, 9999, charset_ui, align_left);
  OGL_string(colr_normal_text, 134, 112,
             "Click on the 'DESTINATION' button below to choose the copy of Nimbrel you wish to "
             "update, or choose the destination you wish to install a new copy of Nimbrel to!",
             9999, charset_ui, align_left);
}

void draw_panels(const screen_text& status, const screen_text lines[3]) {
  if (install_name != no_install_name)
    BTN_frame2(frame_installer_panel, 135, 600, 790, 72, "NET: " + install_name);
  BTN_frame2(frame_installer_panel, 935, 600, 80, 72, "Download");
  std::string size;
  set_size_str(stg.down_req, size);
  OGL_string(colr_normal_text, 954, 635, size, 700, charset_ui, align_left);
  OGL_string(status.colour, 154, 615, status.text, 700, charset_ui, align_left);
  BTN_frame2(frame_installer_panel, 135, 32, 880, 40, "");
  const float ys[3] = {58, 48, 38};
  for (int i = 0; i < 3; ++i)
    OGL_string(lines[i].colour, 144, ys[i], lines[i].text, 9999, charset_ui, align_left);
}

void draw_progress_bar(const screen_state& s) {
  const float base_x1 = 132, base_x2 = 1016;
  const float x1 = std::trunc(base_x1);
  const float fill = std::trunc((base_x2 - base_x1) * s.totl_inst_rat + base_x1);
  BTN_frame1(frame_progress_track, 2 * std::round((base_x1 + base_x2) / 4), 15,
             4 * std::round((base_x2 - base_x1) / 4), 0);
  if (stg.install_phase == phase_installing && s.totl_inst_rat > 0.02f)
    BTN_frame1(frame_progress_fill, 2 * std::round((x1 + fill) / 4), 15,
               4 * std::round((fill - x1) / 4), 0);
}

void draw_reading_progress(const std::string& title) {
  int stage = 0;
  double value = 0, total = 0;
  std::string detail;
  dir_read_progress(g_install, &stage, &value, &total, &detail);
  if (stage < 0) return;
  dir_progress_panel(0, static_cast<float>(value), static_cast<float>(total), stage, title, detail);
}
