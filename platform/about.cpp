// The about box: the credits, the version check against the server list on
// the maker's web host, and the download, unpacking and start of a newer
// installer.
#include "platform/about.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/clock.h"
#include "core/constants.h"
#include "core/files/xmap.h"
#include "core/globals.h"
#include "core/util/text_util.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "Files/errors.h"
#include "Files/io_utils.h"
#include "Files/zip_entries.h"
#include "net/capped_download.h"
#include "net/down_class.h"
#include "net/http.h"
#include "platform/folders.h"
#include "platform/frame.h"
#include "platform/web.h"
#include "widgets/buttons.h"
#include "widgets/frames.h"

namespace {

// No server list is this large, and no installer of ours.
const int64_t kListCap = 64 * 1024;
const int64_t kInstallerCap = int64_t(512) << 20;

about_record g_about;

std::string private_file(const char* name) {
  std::string folder;
  PLAT_system_folder(folder_temp, folder);
  return folder + name;
}

// A path on the web host: absolute, printable, never climbing out.
bool path_ok(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  for (unsigned char c : path)
    if (c <= 0x20 || c == 0x7F) return false;
  return (path + "/").find("/../") == std::string::npos;
}

std::string with_code(const char* format, int code) {
  char text[600];
  snprintf(text, sizeof text, format, error_str(code).c_str(), code);
  return text;
}

}  // namespace

about_record& about_state() { return g_about; }

void about_reset() {
  http.net_abandon(kAboutListSlot);
  http.net_abandon(kAboutInstallerSlot);
  g_about = about_record();
}

// [SECTION] The version check

bool about_read_list(const std::string& path, about_record& r) {
  xmap_class file(path.c_str());
  static const int kVersions[] = {820, 0};
  const bool header_ok = file.check_file(kind_text, kVersions, "SERVERS", nullptr) != 0;
  if (header_ok) {
    const char* p = file.cursor;
    const char* end = file.map_end;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    auto eol = [](char c) { return c == 0 || c == '\r' || c == '\n'; };
    // After the keyword, blanks, then the rest of the line, without its
    // trailing blanks; its first word is the installer's server.
    auto after_blanks = [&](const std::string& s, size_t from) {
      const size_t at = s.find_first_not_of(" \t", from);
      return at == std::string::npos ? std::string() : s.substr(at);
    };
    while (p < end) {
      while (p < end && (blank(*p) || eol(*p))) ++p;
      const char* start = p;
      while (p < end && !eol(*p)) ++p;
      const std::string line(start, p);
      const size_t word_end = std::min(line.find_first_of(" \t"), line.size());
      const std::string word = line.substr(0, word_end);
      std::string value = after_blanks(line, word_end);
      while (!value.empty() && blank(value.back())) value.pop_back();
      const size_t gap = std::min(value.find_first_of(" \t"), value.size());
      const std::string server = value.substr(0, gap);
      const std::string rest = after_blanks(value, gap);
      // The installer keys end in "_LIN", this platform's own: a list also names the other
      // platforms' programs, which this one could not start.
      if (word == "FINAL") {
        r.version_str_net = value;
        r.version_str_found = 1;
      } else if (word == "BETA_INSTALLER_LIN") {
        r.beta_server = server;
        r.beta_path = rest;
      } else if (word == "FINAL_INSTALLER_LIN") {
        r.final_server = server;
        r.final_path = rest;
      } else if (word == "BETA_VERSION") {
        r.version_beta = str_to_int(value);
      } else if (word == "FINAL_VERSION") {
        r.version_final = str_to_int(value);
      }
    }
  }

  const char* no_net = "Can't connect to the net to find latest version.";
  r.is_latest = 1;
  r.is_beta = 0;
  r.ins_state = ins_message;
  if (!header_ok || r.version_final == -1) {
    r.err_msg = no_net;
  } else if (r.version_final == kVersionNumber) {
    r.err_msg = "Your version of Nimbrel is up to date.";
  } else if (r.version_final > kVersionNumber) {
    r.is_latest = 0;
  } else if (r.version_beta <= kVersionNumber) {
    r.err_msg = "You have the latest Nimbrel beta.";
  } else {
    r.is_latest = 0;
    r.is_beta = 1;
  }
  if (r.is_latest) return header_ok;
  r.installer_server = r.is_beta ? r.beta_server : r.final_server;
  r.installer_path = r.is_beta ? r.beta_path : r.final_path;
  // Names from the list that a request cannot carry count as none.
  if (!http_host_name_ok(r.installer_server) || !path_ok(r.installer_path)) {
    r.err_msg = std::string(r.is_beta ? "There is a newer beta of Nimbrel available! Visit "
                                      : "There is a new version of Nimbrel available! Visit ") +
                web_host + " to download the update.";
    return header_ok;
  }
  r.ins_state = ins_offer;
  return header_ok;
}

void about_check_step() {
  about_record& r = g_about;
  if (r.list_whole || !r.pause.ready(xtim.act_time)) return;
  const std::string list = private_file("about_serverlist.txt");
  const int got = net_check_capped(kAboutListSlot, web_host, "/serverlist.txt", list, kListCap);
  if (got == net_busy) return;
  if (got == net_failed) {
    r.pause.failed(xtim.act_time);
    return;
  }
  const bool is_list = about_read_list(list, r);
  delete_file(list);
  // A page that is no list (a captive portal's) is a failed fetch: the check
  // goes on, after a pause, so that it can succeed once the network lets it.
  if (is_list)
    r.list_whole = true;
  else
    r.pause.failed(xtim.act_time);
}

// [SECTION] The update

void about_update_step() {
  about_record& r = g_about;
  if (r.ins_state == ins_downloading) {
    const std::string zip = private_file("installer.zip");
    const int got = net_check_capped(kAboutInstallerSlot, r.installer_server, r.installer_path, zip,
                                     kInstallerCap);
    if (got == net_busy) return;
    if (got == net_failed) {
      r.ins_state = ins_message;
      r.err_msg = "I was unable to download the installer from the net.";
      return;
    }
    std::string folder, name;
    PLAT_system_folder(folder_temp, folder);
    const int err = zip_unpack_single(zip, folder, &name, kInstallerCap);
    delete_file(zip);
    if (err) {
      r.ins_state = ins_message;
      r.err_msg = with_code("There was an error unzipping the installer: %s (%d)", err);
      return;
    }
    r.installer_app_name = folder + name;
    r.ins_state = ins_unpacked;
  } else if (r.ins_state == ins_unpacked) {
    // The private folder goes when this program ends, but the new one runs
    // on from where it stands: it moves to a folder of its own first.
    const char* tmp = getenv("TMPDIR");
    std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/nimbrel-update-XXXXXX";
    const std::string leaf = r.installer_app_name.substr(r.installer_app_name.rfind('/') + 1);
    int err = mkdtemp(&folder[0]) ? 0 : errno;
    const bool made = err == 0;
    const std::string program = folder + "/" + leaf;
    if (!err && rename(r.installer_app_name.c_str(), program.c_str()) != 0) err = errno;
    if (!err) err = make_file_executable(program.c_str());
    // Returns only when the program could not be started.
    if (!err) err = launch_app(program, app_path);
    // Its own folder outlives this program: nothing of a program that did not
    // start may stay there, nor in the private folder.
    unlink(r.installer_app_name.c_str());
    if (made) {
      unlink(program.c_str());
      rmdir(folder.c_str());
    }
    r.ins_state = ins_message;
    r.err_msg = with_code("There was an error launching the installer: %s (%d)", err);
  }
}

// [SECTION] The window

void MACIBM_about() {
  about_record& r = g_about;
  stls.title_for(wind_about) = "About Nimbrel";
  MACIBM_startwind(wind_about);
  const std::string site = "http://" + web_host + "/";
  while (mnw.cur_window == wind_about) {
    about_check_step();
    OGL_plot_back_col();
    BTN_fillwin(1, kFillwinBare);
    BTN_subwin(0, frame_panel_dark, -1, 35, -1, -1, "", &wx, &wy);
    const std::string status =
        r.version_str_found
            ? "The current version of Nimbrel at is now " + r.version_str_net + "."
            : "I could not connect to the net to find the current version of Nimbrel at " + site +
                  "!";
    const struct {
      std::string text;
      int colour;
    } lines[] = {
        {build_name[0], colr_art},
        {"Nimbrel flight simulator, version " + std::to_string(kVersionNumber), colr_art},
        {"Made by the Nimbrel team and its friends.", colr_art},
        {site, colr_art},
        {status, colr_help_text},
        {"You can always fetch the newest installer from " + site + " to update.", colr_help_text},
        {"Art: the Nimbrel art team.", colr_help_text},
        {"Code subroutines: the Nimbrel framework team.", colr_help_text},
        {"Linux port: the Nimbrel platform team.", colr_help_text},
        {"Airport and navigation data: the Nimbrel data team.", colr_help_text},
        {"Intro screen: the Nimbrel art team.", colr_help_text},
        {"Icons: the Nimbrel art team.", colr_help_text},
        {"Additional elevation data: the Nimbrel scenery team.", colr_help_text},
        {"Forest prototypes: the Nimbrel scenery team.", colr_help_text},
    };
    float y = mnw.window_dy - 45;
    for (size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i) {
      if (i == 3 || i == 5) y -= 10;
      OGL_string(lines[i].colour, 20, y, lines[i].text, mnw.window_dx - 40, charset_ui, align_left);
      y -= 10;
    }
    const float message_y = y + 10 - 40;
    if (BTN_action(191, 17, 0, 0, 1, "Visit " + web_host + " for free updates!", "-"))
      go_to_URL(site);
    if (r.ins_state == ins_offer) {
      if (BTN_action(492, 17, 0, 0, 1, r.is_beta ? " Get New Beta! " : "Update Nimbrel!", "-"))
        r.ins_state = ins_downloading;
    } else if (r.ins_state == ins_downloading) {
      about_update_step();
      const down_class* d = http.slots[kAboutInstallerSlot];
      const int64_t percent = d && d->content_length > 0 ? d->written * 100 / d->content_length : 0;
      char text[100];
      snprintf(text, sizeof text, "Downloading the installer...%d%% complete",
               static_cast<int>(percent));
      OGL_string(colr_notice, 20, message_y, text, mnw.window_dx - 40, charset_ui, align_left);
    } else if (r.ins_state == ins_unpacked) {
      about_update_step();
    } else if (r.ins_state == ins_message) {
      OGL_string(colr_notice, 20, message_y, r.err_msg, mnw.window_dx - 40, charset_ui, align_left);
    }
    if (close_requested && mnw.cur_window == wind_about) MACIBM_startwind(wind_main);
    if (mnw.cur_window != wind_about) break;
    MACIBM_event_proc();
  }
}
