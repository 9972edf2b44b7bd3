// The start of the run: the installer's globals, its preference keys and
// defaults, and the destination from the command line, the preferences or
// the folder dialog.
#include "installer/start.h"

#include <vector>

#include "core/globals.h"
#include "core/prefs.h"
#include "Files/folder_list.h"
#include "installer/app.h"
#include "installer/ins_texes.h"
#include "installer/paths.h"
#include "installer/question.h"
#include "installer/sizes.h"
#include "installer/update/decisions.h"
#include "installer/update/folders.h"
#include "installer/update/hooks.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "net/http.h"
#include "platform/dialogs/dialogs.h"
#include "platform/folders.h"
#include "platform/shell.h"
#include "widgets/hooks.h"

install_state g_install(stg);

std::string& dest_dir_path = g_install.dest_dir_path;
std::string& temp_path = g_install.temp_path;
std::string& install_name = g_install.install_name;
std::string& crnt_file_name = g_install.crnt_file_name;
std::string& crnt_file_path = g_install.crnt_file_path;
std::string (&server_name)[kMirrorCount] = g_install.server_name;
std::string (&server_path)[kMirrorCount] = g_install.server_path;
std::string (&server_desc)[kMirrorCount] = g_install.server_desc;
next_struct& next = g_install.next;
std::set<std::string>& deleted_files = g_install.deleted_files;
int& this_install_has_exes = g_install.this_install_has_exes;
std::vector<file_history_struct>& sim_info = g_install.sim_info;
std::string& manifest_problem = g_install.manifest_problem;

// Empty on purpose: the installer shows no bar menus.
void APP_handlemenu(int /*item*/) {}

void APP_register_hooks() {
  g_app_hooks.update = APP_update;
  g_app_hooks.handlemenu = APP_handlemenu;
  g_app_hooks.load_images = recall_ins_texes;
  g_app_hooks.ready_fds = APP_ready_fds;
  g_app_hooks.stop = [] { install_stop(g_install); };
  g_engine_hooks.dir_progress = dir_progress_frame;
  g_engine_hooks.select_alert = question_window;
}

// Empty on purpose: the installer binds nothing to function keys.
void function_key(int /*key*/) {}

int path_is_to_a_sim() {
  std::vector<std::string> names;
  std::vector<int> kinds;
  opensave_getitems(dest_dir_path, list_every_kind, names, kinds);
  bool airfoils = false, instructions = false, output = false, resources = false;
  for (size_t i = 0; i < names.size() && i < kinds.size(); ++i) {
    if (kinds[i] != kind_folder) continue;
    const std::string& n = names[i];
    airfoils |= n.find("Airfoils") != std::string::npos;
    instructions |= n.find("Instructions") != std::string::npos;
    output |= n.find("Output") != std::string::npos;
    resources |= n.find("Resources") != std::string::npos;
  }
  return airfoils && instructions && output && resources ? 1 : 0;
}

int pick_dest_path() {
  std::string path = dest_dir_path;
  if (!GetFilePathFromUser(choose_folder,
                           "Pick a folder to install Nimbrel to! Be sure to pick your existing "
                           "folder if you already have one!",
                           "This is my Nimbrel destination", 1, dest_dir_path.c_str(), path))
    return 0;
  const std::string before = dest_dir_path;
  dest_dir_path = path;
  if (dest_dir_path != "/") dest_dir_path += "/";
  if (!path_is_to_a_sim()) {
    dest_dir_path += "Nimbrel";
    dest_dir_path += "/";
  }
  if (!usable_dest_dir(dest_dir_path)) {
    xer << "Not installing to " << dest_dir_path << ": keeping " << before << "\n";
    dest_dir_path = before;
    return 0;
  }
  return 1;
}

static void set_stg_defaults() {
  stg.dir_state = dir_fetching;
  // The files of the platform the program runs on.
  stg.download_os = platform_linux;
  stg.install_phase = phase_idle;
  stg.download_error = 0;
  stg.install_error = 0;
  stg.server_count = -1;
  stg.server_index = 0;
  stg.file_action = action_skipped;
  stg.file_fraction = 0.0f;
  stg.use_max_cpu = 0;
  stg.rename_folder = 1;
  stg.stream_count = 0;
  stg.always_ask_dir = 0;
  stg.down_req = 0.0f;
  stg.disk_req = 0.0f;
}

namespace {

int installer_prefs_path(std::string& path) {
  std::string folder;
  if (int err = get_OS_abs_path(os_dir_prefs, folder)) return err;
  path = folder + "Nimbrel Installer.prf";
  return 0;
}

void installer_prefs_io(scan_class& scan) {
  scan.int_io(&stg.use_max_cpu, "_use_max_cpu");
  scan.int_io(&stg.rename_folder, "_rename_folder");
  scan.int_io(&stg.stream_count, "_stream_count");
  scan.int_io(&stg.log_actions, "_log_actions");
  scan.int_io(&stg.always_ask_dir, "_always_ask_dir");
  scan.str_io(&dest_dir_path, "_dest_dir_path");
}

}  // namespace

void APP_register_prefs() {
  pref.set_path(pref_set_installer, installer_prefs_path);
  pref.add_keys(pref_set_installer, installer_prefs_io);
  http_register_prefs(pref_set_installer);
}

void APP_start_run(int argc, const char** argv) {
  static const char* const labels[5] = {
      "os_dir_this_app\t\t=", "os_dir_desktop\t\t=", "os_dir_default_apps\t=", "os_dir_temp\t\t\t=",
      "os_dir_prefs\t\t\t="};
  for (int which = os_dir_this_app; which <= os_dir_prefs; ++which) {
    std::string folder;
    get_OS_abs_path(which, folder);
    xer << labels[which] << folder << (which == os_dir_prefs ? "\n\n" : "\n");
  }

  // The home folder, not the root the applications folder would give: a
  // user cannot write beside the system's own folders.
  const std::string default_dest = PLAT_home_folder() + "Nimbrel" + "/";
  dest_dir_path = default_dest;
  xer << "dest_dir_path=" << dest_dir_path << "\n";

  get_OS_abs_path(os_dir_temp, temp_path);
  install_name = "Not Yet Scanned";
  set_stg_defaults();
  APP_register_prefs();
  pref.IO_set(pref_set_installer, 0);
  // Neither an empty folder, a relative one nor the root: files must never
  // land beside the system's own folders.
  if (!usable_dest_dir(dest_dir_path)) dest_dir_path = default_dest;
  // Four download slots: 0 keeps the automatic count.
  stg.stream_count = stg.stream_count < 0 ? 0 : std::min(stg.stream_count, kStreams);
  xer << "After searching, I think that dvd_path=" << dvd_path << "\n";

  // An empty argument names no folder.
  const std::string before_option = dest_dir_path;
  if (argc >= 3 && std::string(argv[1]) == "-path" && argv[2][0] != '\0') {
    dest_dir_path = argv[2];
  } else if (stg.always_ask_dir) {
    pick_dest_path();
  }
  // Without its "/" every file would land beside the folder, not in it.
  if (!usable_dest_dir(dest_dir_path)) {
    xer << "Not installing to " << dest_dir_path << ": keeping " << before_option << "\n";
    dest_dir_path = before_option;
  }
  xer.flush();
}
