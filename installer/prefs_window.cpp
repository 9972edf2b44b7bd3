// The preferences window: the platform to download for, the run and update
// switches, the stream count and the proxy.
#include "installer/prefs_window.h"

#include "core/globals.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "installer/start.h"
#include "installer/update/transfer.h"
#include "net/http.h"
#include "platform/frame.h"
#include "widgets/buttons.h"
#include "widgets/frames.h"
#include "widgets/labels.h"
#include "widgets/number_fields.h"
#include "widgets/popup.h"
#include "widgets/text_entry.h"

int proxy_port_number(const std::string& text) {
  const int port = str_to_int(text);
  return port >= 1 && port <= 65535 ? port : 0;
}

namespace {

const char kPlatforms[] = "Macintosh-Windows-Linux";
const char kPlatformLabel[] =
    "Operating System to download Nimbrel for:|(Install and copy the entire Nimbrel folder to "
    "another computer if you like)";

// The platform: a pop-up while idle; while an install runs only what it is,
// since the files on their way belong to it.
void platform_choice() {
  int selection = stg.download_os - 1;
  if (stg.install_phase != phase_installing) {
    if (BTN_textlist(200, 310, &selection, kPlatforms, kPlatformLabel))
      set_download_os(g_install, selection + 1);
    return;
  }
  static const char* const kNames[3] = {"Macintosh", "Windows", "Linux"};
  const char* name = selection >= 0 && selection < 3 ? kNames[selection] : "";
  OGL_boxed_string(210, 310, kPlatformLabel, name, charset_ui, colr_path_text);
  if (BTN_mouse_in(150, 300, 300, 325))
    stls.help_text = "The platform cannot change while an install is running.";
}

}  // namespace

void handle_prefs() {
  MACIBM_startwind(wind_prefs);
  if (mnw.cur_window != wind_prefs) return;
  for (;;) {
    OGL_plot_back_col();
    BTN_fillwin(1, kFillwinBare);
    float right = 0, top = 0;
    BTN_subwin(0, frame_panel, -1, -1, -1, 70, "Proxy (if you are behind a firewall with a Proxy)",
               &right, &top);
    BTN_subwin(0, frame_panel, -1, top, -1, -1, "General Preferences", &right, &top);

    int manual = stg.stream_count != 0 ? 1 : 0;
    platform_choice();
    BTN_bool(30, 265, &stg.use_max_cpu,
             "|run at full speed all the time, always totally saturating the CPU... typically "
             "leave this OFF, since the installer does not need that much CPU to download stuff!",
             0);
    BTN_bool(30, 230, &stg.rename_folder,
             "|re-name the Flyhouse folder to the latest version number when done with the "
             "update... typically leave this ON, so the installer can indicate the proper version "
             "number!",
             0);
    BTN_bool(30, 190, &stg.always_ask_dir,
             "|always ask you to pick your Flyhouse folder on startup... typically leave this OFF, "
             "since the installer will remember your current Nimbrel folder after the first use.",
             0);
    BTN_bool(30, 150, &manual,
             "|manually set the number of download streams... typically leave this OFF, and the "
             "installer will find the best number of streams for you.",
             0);
    BTN_bool(30, 110, &stg.log_actions,
             "|log installer actions... turn this on to output the installer file downloads and "
             "stuff to the file log.txt.",
             0);
    if (manual) {
      // Ticking the box starts at one stream, so the setting sticks.
      if (stg.stream_count == 0) stg.stream_count = 1;
      BTN_int_range(400, 150, &stg.stream_count, 1, 1.0f, static_cast<float>(kStreams), "");
    } else {
      stg.stream_count = 0;
    }
    BTN_enterstring(85, 40, &http.proxy_host, 65, "-proxy host", 455, 1);
    BTN_enterstring(85, 20, &http.proxy_port, 65, "-proxy port", 455, 1);
    if (!http.proxy_port.empty()) http.proxy_port_int = proxy_port_number(http.proxy_port);

    // The program is closing: the settings stand as they are.
    if (close_requested && mnw.cur_window == wind_prefs) MACIBM_startwind(wind_main);
    if (mnw.cur_window != wind_prefs) return;
    MACIBM_event_proc();
    if (mnw.cur_window != wind_prefs) return;
  }
}
