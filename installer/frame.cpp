// The installer's frame function: one step of the fetch, the reading or the
// install each frame, and the whole screen drawn over it. Windows the user
// opens from the screen (the folder chooser, preferences, the terms and the
// questions of an install) run once the frame is drawn.
#include <string>

#include "core/clock.h"
#include "core/globals.h"
#include "installer/app.h"
#include "installer/fetch.h"
#include "installer/prefs_window.h"
#include "installer/screen.h"
#include "installer/start.h"
#include "installer/terms.h"
#include "installer/update/decisions.h"
#include "installer/update/folders.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "net/http.h"
#include "platform/web.h"
#include "widgets/buttons.h"

namespace {

// xtim.act_once entry of the tenth of a second.
constexpr int kEvery0_1s = 6;

const char kReadingTitle[] =
    "Scanning directory text file to see if you already have Nimbrel installed...";

enum pending_window { no_window, destination_window, prefs_window, install_windows };

void change_destination() {
  if (pick_dest_path()) install_destination_changed(g_install);
}

void globe_turns() {
  if (stg.install_phase != phase_installing) {
    g_screen.wrl_i = 21;
  } else if (xtim.act_once[kEvery0_1s]) {
    g_screen.wrl_i = g_screen.wrl_i >= 23 || g_screen.wrl_i < 8 ? 8 : g_screen.wrl_i + 1;
  }
}

}  // namespace

// INSTALL: the terms first, then the decisions (which may ask about files
// the user changed), and only then the folders: declining or cancelling
// leaves the disk as it was.
void APP_start_install() {
  install_prepare(g_install);
  if (handle_EULA() != 1) return;
  if (!choose_files(g_install)) {
    install_cancelled(g_install);
    return;
  }
  make_dirs(g_install);
  install_start(g_install);
}

void APP_quit() {
  install_stop(g_install);
  app_done = 1;
}

int APP_ready_fds(pollfd* fds, int room) {
  if (stg.install_phase != phase_installing || mnw.modal) return 0;
  return install_ready_fds(g_install, fds, room);
}

void APP_update() {
  pending_window pending = no_window;
  draw_background();
  if (stg.server_count == -1) server_list_step();
  if (stg.dir_state == dir_fetching && stg.server_count >= 1) manifest_fetch_step();

  draw_destination();
  if (stg.install_phase != phase_installing &&
      (interface_rect(10, 78, 513, 166, 126, 22, 1, 1) ||
       (mnw.mouse_down && mnw.mouse_x >= 135 && mnw.mouse_x <= 435 && mnw.mouse_y >= 79 &&
        mnw.mouse_y <= 99)))
    pending = destination_window;

  if (stg.dir_state == dir_fetched) manifest_read_step(kReadingTitle);

  globe_turns();
  for (int i = 0; i < stg.server_count && i < kMirrorCount; ++i)
    // The leading "|" makes the description the label's right part, drawn to the right of its
    // button inside the panel; as a left part it would end at the button and run off the panel.
    if (BTN_is_int(142, 578 - 20.0f * i, &stg.server_index, i, "|" + server_desc[i]))
      mirror_chosen(i);
  if (BTN_action(50, 750, -1, 0, 1, "preferences", "-")) pending = prefs_window;
  interface_rect(0, 595, 644, 33, 128, 86, 0, 0);
  interface_icon(29, 608, g_screen.wrl_i);

  look_at_destination(g_screen);
  const mirror_wait wait = install_waiting(g_install);
  const status_inputs in = {next.all_done,
                            stg.server_count,
                            stg.dir_state,
                            no_mirror_left(),
                            stg.install_phase == phase_installing,
                            g_screen.dest_is_sim != 0,
                            manifest_percent(),
                            wait.waited,
                            wait.retry_in,
                            g_install.mirror_patience};
  const screen_text status = status_line(in);

  if (stg.install_phase == phase_idle) {
    const int enabled = g_screen.disk_space_avail && stg.dir_state == dir_read ? 1 : 0;
    if (interface_rect(450, 78, 640, 166, 83, 22, enabled, enabled ? 1 : 2) && enabled)
      pending = install_windows;
  }
  if (interface_rect(700, 78, 822, 235, 116, 22, 1, 1))
    go_to_URL("http://" + shop_host + "/cart.php?m=product_list&c=3");
  if (interface_rect(960, 78, 780, 166, 51, 22, 1, 1)) APP_quit();

  if (stg.install_phase == phase_installing) {
    const install_step_result step = install_frame_step(g_install, 0.01);
    if (step != install_running) {
      xer << (step == install_failed ? "The installation was not completed: an error occurred.\n"
                                     : "INSTALLATION COMPLETE: " + dest_dir_path + "\n");
      xer.flush();
    }
  }
  screen_text lines[3];
  message_lines(g_screen, lines);
  draw_panels(status, lines);
  draw_progress_bar(g_screen);
  if (stg.dir_state == dir_fetched) draw_reading_progress(kReadingTitle);

  if (app_done) return;
  switch (pending) {
    case destination_window:
      change_destination();
      break;
    case prefs_window:
      handle_prefs();
      break;
    case install_windows:
      APP_start_install();
      break;
    case no_window:
      break;
  }
}
