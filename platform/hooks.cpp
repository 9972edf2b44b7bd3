// The seams of the lower layers, filled with the shell's own work, and the
// application's hooks that the entry point registers.

#include "core/hooks.h"
#include "core/globals.h"
#include "core/prefs.h"
#include "draw/colors.h"
#include "draw/hooks.h"
#include "OGL/extensions.h"
#include "OGL/leak_check.h"
#include "platform/alert.h"
#include "platform/dialogs/dialogs.h"
#include "platform/frame.h"
#include "platform/gl_loader.h"
#include "platform/memory_facts.h"
#include "platform/memory_map.h"
#include "platform/menus.h"
#include "platform/shell.h"
#include "platform/startup.h"
#include "platform/window.h"
#include "TEX/load_any.h"
#include "widgets/focus.h"
#include "widgets/hooks.h"

app_hooks g_app_hooks;
display_prefs_state g_display_prefs;

namespace {

// The display file keeps a size per world kind; only the shared one is used.
void display_prefs_io(scan_class& scan) {
  display_prefs_state& d = g_display_prefs;
  if (scan.mode == 1) {
    mnw.prefs_found = 1;
    d.x_res_req_all = mnw.x_res_req;
    d.y_res_req_all = mnw.y_res_req;
  }
  scan.int_io(&d.x_res_req_pln, "_x_res_req_PLN");
  scan.int_io(&d.y_res_req_pln, "_y_res_req_PLN");
  scan.int_io(&d.x_res_req_wrl, "_x_res_req_WRL");
  scan.int_io(&d.y_res_req_wrl, "_y_res_req_WRL");
  scan.int_io(&d.x_res_req_all, "_x_res_req_ALL");
  scan.int_io(&d.y_res_req_all, "_y_res_req_ALL");
  if (scan.mode == 0) {
    mnw.x_res_req = d.x_res_req_all;
    mnw.y_res_req = d.y_res_req_all;
  }
  scan.int_io(&mnw.col_res_req, "_col_res_req");
  scan.int_io(&mnw.may_switch_depth, "_set_res");
  scan.int_io(&mnw.lang, "_lang");
  scan.int_io(&mnw.alias_req, "_alias_req");
  scan.int_io(&mnw.keylist_up, "_keylist_up");
  scan.int_io(&mnw.sec_mon_inuse, "_sec_mon_inuse");
  scan.int_io(&mnw.prefs_found, "_prefs_found");
  if (mnw.x_res_req < 600 || mnw.x_res_req > 9999) mnw.x_res_req = 1024;
  if (mnw.y_res_req < 600 || mnw.y_res_req > 9999) mnw.y_res_req = 768;
}

}  // namespace

void PLAT_install_hooks() {
  OGL_keep_libraries_for_leak_check();
  g_alert_hooks.show = PLAT_show_alert;
  g_core_hooks.finishup = MACIBM_finishup;
  g_core_hooks.mouse_pressed = BTN_unfocus_any;
  g_core_hooks.pulse = [](float level) { colr.set_pulse(level); };
  // Threads get a shared context only where the driver allows it.
  g_core_hooks.make_thread_context = []() -> void* {
    return glExt.threaded_avail ? MACIBM_make_context_loader() : nullptr;
  };
  g_core_hooks.set_thread_context = MACIBM_set_context_loader;
  g_core_hooks.free_thread_context = PLAT_free_loader_context;
  g_core_hooks.load_alpha_image = TEX_load_alpha_ext;
  g_core_hooks.read_memory_facts = PLAT_read_memory_facts;
  g_core_hooks.walk_memory_map = PLAT_walk_memory_map;
  g_draw_hooks.swap_buffers = MACIBM_swap_buffers;
  g_draw_hooks.show_init = MACIBM_show_init;
  g_widget_hooks.fill_popup = MACIBM_fill_popup_slot;
  g_widget_hooks.start_window = MACIBM_startwind;
  g_widget_hooks.run_frame = MACIBM_event_proc;
  g_widget_hooks.key_hits = [](int* ret, int* esc, int* del) {
    *ret = return_hit;
    *esc = escape_hit;
    *del = delete_hit;
  };
  g_widget_hooks.choose_path = [](int mode, const char* message, const char* button,
                                  const char* folder, std::string& path) {
    return GetFilePathFromUser(mode, message, button, 1, folder, path);
  };
  pref.add_keys(pref_set_display, display_prefs_io);
}
