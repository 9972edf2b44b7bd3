// Start-up and orderly shut-down: from the entry point to a running window
// with its OpenGL context, and back down again.
#include <limits.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/cmdline.h"
#include "core/constants.h"
#include "core/globals.h"
#include "core/memory/crash.h"
#include "core/prefs.h"
#include "core/threads/threads.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "Files/io_utils.h"
#include "platform/alert.h"
#include "platform/folders.h"
#include "platform/frame.h"
#include "platform/gl_hooks.h"
#include "platform/keys/keys.h"
#include "platform/menus.h"
#include "platform/movie/movie.h"
#include "platform/ready_watch.h"
#include "platform/shell.h"
#include "platform/startup.h"
#include "platform/window.h"
#include "widgets/atlas_layout.h"
#include "widgets/frames.h"

startup_state g_startup;
int& ogl_inited = g_startup.ogl_inited;

// [SECTION] Tables and the log header

namespace {

// The values ("key : value") of the first lines of a /proc file that start
// with each key, read in one pass; a key not found leaves its value empty.
void proc_values(const char* file,
                 std::initializer_list<std::pair<const char*, std::string*>> keys) {
  std::ifstream in(file);
  std::string line;
  std::vector<bool> found(keys.size());
  while (std::getline(in, line)) {
    size_t i = 0;
    for (const auto& k : keys) {
      if (found[i++] || line.compare(0, strlen(k.first), k.first) != 0) continue;
      size_t colon = line.find(':');
      if (colon == std::string::npos) continue;
      found[i - 1] = true;
      size_t start = line.find_first_not_of(" \t", colon + 1);
      *k.second = start == std::string::npos ? "" : line.substr(start);
    }
  }
}

void fill_tables() {
  srand(1);
  for (float& r : randrat) r = static_cast<float>(rand()) * 4.656613e-10f * 0.9999f;
  const unsigned seed = static_cast<unsigned>(xtim_class::microsecs() & 0xFFFFFFFFu);
  srand(seed);
  for (unsigned i = 0; i < seed % 1000; ++i) rand();
  for (int i = 0; i <= 360; ++i) {
    lookup_sin[i] = sinf(static_cast<float>(i) * degtorad);
    lookup_cos[i] = cosf(static_cast<float>(i) * degtorad);
  }
}

void write_log_header() {
  xer << "log.txt for " << build_name[0] << " "
      << "Installer " << kVersionNumber << " compiled on " << __DATE__ << " " << __TIME__ << "\n\n";
  xer << "This log file is generated automatically by Tessaly Works applications and contains "
         "diagnostics about your graphics hardware, installation, and any error conditions.\n";
  xer << "If you need to contact tech support or file a bug, please send us this file. NOTE: this "
         "file is rewritten every time you start ANY of your Flyhouse applications.\n\n";
  struct utsname u;
  if (uname(&u) == 0)
    xer << u.sysname << " " << u.release << "\n";
  else
    xer << "? ?\n";
  // There is no processor-type number on this platform; the model name
  // stands where the table's name would.
  std::string model, mhz, mem_kb;
  proc_values("/proc/cpuinfo", {{"model name", &model}, {"cpu MHz", &mhz}});
  proc_values("/proc/meminfo", {{"MemTotal", &mem_kb}});
  xer << "CPU type: "
      << "?"
      << " (" << (model.empty() ? "?" : model) << ") ";
  xer << "CPU speed (mhz): " << (mhz.empty() ? "?" : std::to_string(atoi(mhz.c_str()))) << " "
      << "Bus speed (mhz): "
      << "?"
      << " "
      << "RAM (MB): " << (mem_kb.empty() ? "?" : std::to_string(atol(mem_kb.c_str()) / 1024))
      << "\n";
  xer << "\nFlyhouse folder:'" << app_path << "', case sensitive=" << g_case_sensitive << "\n\n";
  xer.flush();
}

}  // namespace

// [SECTION] Start-up pieces

void MACIBM_take_interface_colours() {
  // The widget atlas is left staged by recall_ins_texes, its first stored
  // row the bottom one, so texel rows count from the start.
  for (const atlas::swatch& s : atlas::swatches) {
    const unsigned char* p = scratch_array + (size_t(s.t) * atlas::kSize + size_t(s.s)) * 4;
    colr.assign(s.colour, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
  }
  const float* dark = colr.rgb[colr_line_dark];
  const float* menu_text = colr.rgb[colr_menu_text];
  colr.assign(colr_mean, (dark[0] + menu_text[0]) * 0.5f, (dark[1] + menu_text[1]) * 0.5f,
              (dark[2] + menu_text[2]) * 0.5f);
}

void MACIBM_set_app_path(std::string& out) {
  char buf[PATH_MAX + 1];
  ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
  g_case_sensitive = 1;
  if (n > 0) {
    buf[n] = 0;
    out = buf;
    size_t slash = out.rfind('/');
    out.erase(slash == std::string::npos ? 0 : slash + 1);
  }
  app_path.clear();
}

void MACIBM_setres(int on) {
  int& hres_orig = g_startup.hres_orig;
  int& vres_orig = g_startup.vres_orig;
  int& cres_orig = g_startup.cres_orig;
  int& sres_orig = g_startup.sres_orig;
  mnw.pixel_dx = mnw.x_res_req;
  mnw.pixel_dy = mnw.y_res_req;
  mnw.pixel_depth = mnw.col_res_req;
  int width = 0, height = 0, depth = 0;
  PLAT_monitor_size(&width, &height, &depth);
  if (on) xer << "Menu bar: none to hide on this platform.\n";
  g_mon_x_res_now = width;
  g_mon_y_res_now = height;
  if (mnw.fit_to_monitor) {
    mnw.x_res_req = mnw.pixel_dx = width - 40;
    mnw.y_res_req = mnw.pixel_dy = height - 60;
  }
  const int allowed = height < 768 || width < 1024 ? 1 : mnw.may_switch_depth;
  if (sres_orig == -1) {
    hres_orig = width;
    vres_orig = height;
    cres_orig = depth;
    sres_orig = allowed;
  }
  (void)hres_orig;
  (void)vres_orig;
  const int target = on ? mnw.col_res_req : cres_orig;
  if (on ? !allowed : !sres_orig) return;
  // The desktop's depth belongs to the display server, not to a program.
  if (depth != target)
    xer << "Screen depth switch from " << depth << " to " << target
        << " bits: not done on this platform.\n";
}

void MACIBM_setupforlang() {
  static const char* const folders[7] = {"text/english/", "text/french/",  "text/german/",
                                         "text/italian/", "text/spanish/", "text/portugese/",
                                         "text/korean/"};
  const int lang = mnw.lang < 0 || mnw.lang > 6 ? 0 : mnw.lang;
  std::string folder = folders[lang];
  (void)folder;
  // Every program's alerts share this button; set here, in the start-up all
  // of them run, no program's alert shows a blank one.
  stls.ok_label = "OK";
}

// Kept empty on purpose: there is no screen saver or power setting to undo here.
void IBM_turnoff() {}

void MACIBM_show_init(const char* text, float* fraction) {
  unsigned& counter_now = g_startup.counter_now;
  if (!plot_init_lights) return;
  const float x0 = mnw.design_off_x - mnw.origin_x, dy = -mnw.origin_y;
  OGL_plot_back_col();
  BTN_frame2(frame_panel_dark, x0 + 10, 31 + dy, 320, 200, "");
  OGL_string(colr_art, x0 + 22, 210 + dy, "www.nimbrel.example", 300, charset_ui, align_left);
  float p = fraction ? *fraction : static_cast<float>(counter_now++) / 100.0f;
  p = p < 0.02f ? 0.02f : p > 1.0f ? 1.0f : p;
  BTN_frame1(frame_progress_track, x0 + 512, 15 + dy, 1008, 0);
  BTN_frame1(frame_progress_fill, x0 + 8 + p * 1008 * 0.5f, 15 + dy, p * 1008, 0);
  OGL_string(colr_grey_text, x0 + 22, 60 + dy, text ? text : "", 300, charset_ui, align_left);
  OGL_sbuff();
}

// [SECTION] Start-up and shut-down

void MACIBM_init(int argc, const char** argv) {
  PLAT_install_hooks();
  UTL_debug_init();
  PLAT_video_init();
  std::string folder;
  MACIBM_set_app_path(folder);
  // A failure leaves the working folder as it was, silently.
  if (!folder.empty() && chdir(folder.c_str()) != 0) folder.clear();

  std::string log_folder;
  PLAT_system_folder(folder_app, log_folder);
  // A FIFO in the log's place would hold the start for ever: then no log.
  if (UTL_make_regular((log_folder + "Log.txt").c_str()) == 0)
    xer.open(log_folder + "Log.txt", std::ios::out | std::ios::trunc);
  xer.setf(std::ios::fixed, std::ios::floatfield);
  fill_tables();
  write_log_header();

  cmdline.init_unix(argc, argv);
  THREAD_init();
  mnw.x_res_req = 1024;
  mnw.y_res_req = 768;
  mnw.tex_res = 5;
  mnw.col_res_req = 32;
  mnw.alias_req = 0;
  mnw.lang = 0;
  MACIBM_setres(1);
  // The fixed line numbers of these two alerts are the ones users have always
  // reported; they are kept on purpose.
  if (!MACIBM_make_context(0))
    __MACIBM_alert(
        0,
        "I could not set up the graphics for Nimbrel! I hope your monitor is at 1024x768 "
        "or higher! It must be!",
        "You do not meet the system requirements or you do not have OpenGL drivers or you "
        "entered a bad resolution in Nimbrel!",
        "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D "
        "accelerator card!",
        "If you reset the resolution, you can try launching Nimbrel again, since I am "
        "resetting Nimbrel to default resolution now.",
        t_exit, __FILE__, 1358);
  PLAT_gl_pix_specs(0);
  PLAT_gl_probe();
  THREAD_make_workers();
  g_app_hooks.load_images();
  MACIBM_take_interface_colours();
  MACIBM_clear_menus(1);
  MACIBM_startwind(wind_startup);
  PLAT_gl_pix_specs(0);
  ogl_inited = 1;
  if (mnw.lang < 0) {
    mnw.lang = 0;
    __MACIBM_alert(wind_startup, "-", "-", "-", "-", t_note, __FILE__, 1432);
  }
  MACIBM_setupforlang();
  MACIBM_show_init("Will init plugins.", nullptr);
  MACIBM_show_init("Starting application.", nullptr);
}

void MACIBM_finishup(int full) {
  // Idempotent: the fatal path and the entry point may both come here, and
  // it must hold before any window exists.
  if (g_startup.finished) return;
  g_startup.finished = true;
  if (full && !cmdline.has_option("--fps_test")) {
    pref.IO_set(pref_set_installer, 1);
    keys.keys_io(1);
  }
  // The application's work on the workers stops first (its jobs out use
  // the pool and its locks); then the worker pool and the movie compressor
  // stop on every path, the fatal one too, so no thread runs while the
  // process exits and its globals are destroyed; a take in progress is
  // finished first.
  if (!THREAD_is_inited() || THREAD_is_main_thread()) g_app_hooks.stop();
  if (!THREAD_is_inited() || THREAD_is_main_thread()) qtim.shutdown();
  if (THREAD_is_inited() && THREAD_is_main_thread()) THREAD_shutdown();
  PLAT_ready_watch_shutdown();
  MACIBM_setres(0);
  if (mnw.aux_in_use) MACIBM_nuke_context(1);
  MACIBM_nuke_context(0);
  if (xer.is_open()) {
    xer.close();
    if (xer.fail()) xer.setstate(std::ios::failbit);
  }
  PLAT_video_quit();
  PLAT_remove_temp_folder();
  fflush(stdout);
}
