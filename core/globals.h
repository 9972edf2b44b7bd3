// Program-wide state blocks and streams shared by every subsystem.
//
// The blocks were arrays of 32-bit words on the original 32-bit platform; here
// they are structs with named fields, since pointers no longer fit a word.
#pragma once

#include <fstream>
#include <string>
#include <vector>

// The installer's settings and state. Defaults here are the "all zero" start;
// the entry point sets the real defaults before reading the preferences.
struct stg_block {
  int dir_state = 0;    // 0 fetching, 1 fetched and to be read, 2 no usable version, 3 read
  int download_os = 0;  // 1 Macintosh, 2 Windows, 3 Linux
  int log_actions = 0;
  int install_phase = 0;  // 0 idle, 1 installing, 2 finished or stopped
  int download_error = 0;
  int install_error = 0;
  int server_count = 0;  // -1 until the server list is fetched
  int server_index = 0;
  int file_action = 0;  // 0 deleting, 1 downloading, 2 skipping current, 3 skipping other
  float file_fraction = 0.0f;
  int use_max_cpu = 0;
  int rename_folder = 0;
  int stream_count = 0;  // 0 automatic, 1 to 4
  int always_ask_dir = 0;
  float down_req = 0.0f;  // kilobytes to download
  float disk_req = 0.0f;  // kilobytes on disk
};

// Window ids (mnw.cur_window): 0 is the application's screen, every other id
// a modal window that its owner runs until it makes 0 current again.
enum window_id {
  wind_startup = -1,  // before the first screen
  wind_main = 0,
  wind_terms = 1,        // the installer's terms of use
  wind_prefs = 2,        // the installer's preferences
  wind_first_own = 993,  // 993 to 999: the framework's own dialogs
  wind_about = 994,
  wind_alert = 995,
  wind_message = 996,   // the three-button message box
  wind_question = 997,  // the installer's keep/overwrite/delete question
  wind_browse_a = 998,  // the open/save browser's two windows
  wind_browse_b = 999,
};

// The platform block, written by the platform shell.
struct mnw_block {
  int alias_req = 0;
  int alias_got = 0;
  void* pixel_format = nullptr;
  void* main_window = nullptr;
  void* aux_window = nullptr;
  void* gl_context = nullptr;
  void* aux_context = nullptr;
  int sec_mon_inuse = 0;
  int aux_in_use = 0;
  int main_window_id = 0;
  int cur_window = wind_startup;  // until the first frame makes a window current
  int mouse_window = 0;
  int modal = 0;
  float origin_x = 0.0f, origin_y = 0.0f;
  float window_dx = 0.0f, window_dy = 0.0f;
  int cursor_kind = 0;
  int open_menu = -1;
  int pixel_dx = 0, pixel_dy = 0, pixel_depth = 0;
  int may_switch_depth = 0;
  int tex_res = 0;
  int x_res_req = 0, y_res_req = 0, col_res_req = 0;
  float design_off_x = 0.0f;
  int fit_to_monitor = 0;
  float area_left = 0.0f, area_bottom = 0.0f, area_right = 0.0f, area_top = 0.0f;
  float scale = 0.0f;
  float mouse_x = 0.0f, mouse_y = 0.0f;
  int mouse_down = 0;
  int mouse_click_up = 0;
  int mouse_double = 0;
  int mouse_up = 0;
  int mouse_held = 0;
  int mouse_long_hold = 0;
  int wheel = 0;
  int key_hit = 0;
  int key_char = 0;
  float mouse_move_time = 0.0f;
  float mouse_down_time = 0.0f;
  int key_held = 0;
  int lang = 0;
  int keylist_up = 1;
  int keys_blocked = 0;
  int speed_mode = 0;   // simulation speed mode read by the clock; always 0 here
  int profiling = 0;    // timed sections are written to the log
  int prefs_found = 0;  // a display preferences file was written
};

// The render-state block, owned by the drawing layer.
struct ren_block {
  float max_aniso = 0.0f;
  int tex_units = 0;
  int tex_image_units = 0;
  int tex_coords = 0;
  int max_tex_size = 0;
  const char* gl_vendor = nullptr;
  const char* gl_renderer = nullptr;
  const char* gl_version = nullptr;
  const char* gl_extensions = nullptr;
  int monochrome = 0;
  float global_alpha = 1.0f;
  float light_level_a = 0.0f;
  float light_level_b = 0.0f;
};

// Interface strings.
struct stls_block {
  std::string window_title;
  std::string help_text;  // hover help of this frame
  std::string ok_label;   // the alert's button label
  std::string nuke_msg_pre, nuke_msg_post, nuke_btn_1, nuke_btn_2, nuke_btn_3;
  std::string modal_title[6];  // ids 994 to 999; 996 and 997 share one
  std::string str[1800];

  std::string& title_for(int id) {
    int i = (id == 997 ? 996 : id) - 994;
    return modal_title[i < 0 || i > 5 ? 0 : i];
  }
};

struct menu_struct;

extern std::string stl_global;
extern std::string app_path;
extern std::string dvd_path;
extern std::ofstream ouf;
extern std::ofstream xer;
// The log as this thread writes it: xer, or the buffer that a job on a worker
// has put in its place (log_capture), whose lines reach xer when the main
// thread takes the job's result, in the order it handed the jobs over.
std::ostream& thread_log();
// While it lives, this thread's thread_log() lines go to `to`.
class log_capture {
 public:
  explicit log_capture(std::ostream& to);
  ~log_capture();
  log_capture(const log_capture&) = delete;
  log_capture& operator=(const log_capture&) = delete;

 private:
  std::ostream* before_;
};
extern std::ofstream cyc;
extern std::ofstream dat;
extern stls_block stls;
extern mnw_block mnw;
extern ren_block ren;
extern stg_block stg;
extern unsigned char plg[76];
extern float wx, wy;

// The frame loop of the entry point ends once this is 1.
extern int app_done;
// 1 when the volume that holds the program is case-sensitive (set at start-up).
extern int g_case_sensitive;
// Filled once at start-up: randrat from the C generator seeded with 1, each
// entry in [0, 0.9999); the sine and cosine of every whole degree 0 to 360.
extern float randrat[10000];
extern float lookup_sin[361], lookup_cos[361];

// Hosts of the maker's web site and shop: configuration values, overridden by
// the preferences "_web_host" and "_shop_host".
extern std::string web_host;
extern std::string shop_host;
extern const char* const kDefaultWebHost;
extern const char* const kDefaultShopHost;
