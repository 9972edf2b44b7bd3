// The frame loop body and window ids. SDL events are pumped here; keys go
// to the key translation, everything else is handled in place.
//
// Contents:
//   [SECTION] Events
//   [SECTION] The frame
//   [SECTION] Windows and clicks
//   [SECTION] Hover help, the cursor and the mouse
#include "platform/frame.h"

#include <SDL2/SDL.h>

#include <cmath>

#include "core/clock.h"
#include "core/exception.h"
#include "core/globals.h"
#include "draw/colors.h"
#include "draw/prims.h"
#include "draw/render_state.h"
#include "draw/text.h"
#include "draw/tman.h"
#include "platform/alert.h"
#include "platform/gl_hooks.h"
#include "platform/keys/keys.h"
#include "platform/keys/sdl_keys.h"
#include "platform/menus.h"
#include "platform/movie/movie.h"
#include "platform/ready_watch.h"
#include "platform/shell.h"
#include "widgets/atlas_layout.h"
#include "widgets/focus.h"
#include "widgets/frames.h"
#include "widgets/popup.h"

frame_state g_frame;
int& return_hit = g_frame.return_hit;
int& escape_hit = g_frame.escape_hit;
int& delete_hit = g_frame.delete_hit;
int& plot_init_lights = g_frame.plot_init_lights;
int& close_requested = g_frame.close_requested;

// [SECTION] Events

namespace {

float scale() { return mnw.scale > 0 ? mnw.scale : 1.0f; }

void place_mouse(int h, int v) {
  mnw.mouse_x = h / scale();
  mnw.mouse_y = (mnw.pixel_dy - v) / scale();
  mnw.mouse_window = mnw.main_window_id;
  mnw.mouse_x -= mnw.origin_x;
  mnw.mouse_y -= mnw.origin_y;
}

void handle_event(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      close_requested = 1;
      break;
    case SDL_MOUSEBUTTONDOWN:
      place_mouse(e.button.x, e.button.y);
      g_frame.mouse_placed_by_event = true;
      mnw.mouse_down = 1;
      MACIBM_handleclick(0);
      break;
    case SDL_MOUSEBUTTONUP:
      place_mouse(e.button.x, e.button.y);
      g_frame.mouse_placed_by_event = true;
      mnw.mouse_up = 1;
      break;
    case SDL_MOUSEWHEEL:
      mnw.wheel += e.wheel.y;
      break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) close_requested = 1;
      // An expose only asks for a redraw, which every frame makes anyway;
      // it is no window switch (that would drop the focus and the pop-up).
      break;
    default:
      break;
  }
}

// Waits up to the given ticks for an event, or for one of the application's
// descriptors to be ready (then the ready event comes). True when an event
// came, in e.
bool wait_for_event(SDL_Event* e, int ticks) {
  pollfd fds[kMaxReadyFds];
  const int count = g_app_hooks.ready_fds(fds, kMaxReadyFds);
  if (count > 0) PLAT_ready_watch_begin(fds, count);
  const bool got = SDL_WaitEventTimeout(e, ticks * 1000 / 60) != 0;
  if (count > 0) PLAT_ready_watch_end();
  return got;
}

// Waits up to the given ticks (1/60 s) for the first event, then takes what
// else is queued. Mouse motion is not dispatched: the mouse is read once per
// frame after the pump.
void pump_events(int ticks) {
  SDL_Event e;
  bool first = true;
  for (;;) {
    bool got = first && ticks > 0 ? wait_for_event(&e, ticks) : SDL_PollEvent(&e) != 0;
    first = false;
    if (!got) break;
    if (e.type == SDL_MOUSEMOTION) continue;
    if (e.type == PLAT_ready_event_type()) {
      ++g_frame.ready_wakes;
      continue;
    }
    if (!PLAT_key_event(e)) handle_event(e);
  }
  PLAT_key_flush();
}

void texture_failure_alerts() {
  static const struct {
    int (tman_class::*has)() const;
    void (tman_class::*mute)();
    const char* l1;
    const char* l2;
    int line;
  } kinds[] = {
      {&tman_class::has_scene_load_fail, &tman_class::mute_scene_load_fail,
       "Some scenery textures could not be loaded.",
       "This may be an installation problem or you may have a damaged add-on scenery package.",
       1544},
      {&tman_class::has_plane_load_fail, &tman_class::mute_plane_load_fail,
       "Some textures for the aircraft you selected could not be loaded.",
       "This may be an installation problem or you may have a damaged add-on aircraft package.",
       1545},
      {&tman_class::has_instl_load_fail, &tman_class::mute_instl_load_fail,
       "Some textures could not be loaded.",
       "This may be an installation problem.  Run the installer/updater again to get these missing "
       "textures.",
       1546},
  };
  for (const auto& k : kinds) {
    if (!(tman.*k.has)()) continue;
    (tman.*k.mute)();
    __MACIBM_alert(wind_main, k.l1, k.l2,
                   "Please see the log.txt file for a detailed list of missing files.", "", t_alert,
                   "mnw", k.line);
  }
}

// Halves away from zero, as the window centring rounds.
float round_half_away(float v) { return v < 0 ? -std::floor(-v + 0.5f) : std::floor(v + 0.5f); }

}  // namespace

// [SECTION] The frame

void MACIBM_event_proc() {
  xtim_class::profile_chart("init", 0);
  return_hit = escape_hit = delete_hit = 0;
  mnw.mouse_down = mnw.mouse_up = mnw.key_hit = 0;
  // The wheel counts this frame's turns only: a list scrolls as the wheel
  // turns, not by what piled up while it was not under the mouse.
  mnw.wheel = 0;
  popup_cancel_code = 0;
  if (mnw.cur_window == wind_startup) mnw.cur_window = wind_main;
  if (!g_frame.win_started) {
    g_frame.win_started = 1;
    MACIBM_startwind(mnw.cur_window);
  }
  xtim_class::profile_chart("startwin", 0);
  keys.apply_edits();

  int ticks = stg.use_max_cpu ? 0 : 1;
  if (mnw.cur_window == wind_alert) ticks = 10;
  g_frame.mouse_placed_by_event = false;
  pump_events(ticks);
  if (!g_frame.mouse_placed_by_event && mnw.main_window) {
    int h = 0, v = 0;
    SDL_GetMouseState(&h, &v);
    place_mouse(h, v);
  }
  xtim_class::profile_chart("event", 0);
  xtim_class::profile_chart("netlist", 0);

  // A close request quits like the quit button, but never from inside a
  // modal window: it waits until that window has closed.
  if (close_requested && mnw.cur_window == wind_main) app_done = 1;

  if (mnw.cur_window == wind_main) {
    THREAD_check_exception(1);
    if (mnw.cur_window == wind_main) texture_failure_alerts();
  }
  xtim.xtim_update();
  keys.run_repeat_keys();
  mnw.cursor_kind = 0;
  if (mnw.open_menu >= 0) {
    // The pop-up slot is no bar title: its rectangle outlives its list.
    for (size_t i = 0; i < menu.size() && i < kPopupMenuSlot; ++i) {
      const menu_struct& m = menu[i];
      if (m.parent == -1 && static_cast<int>(i) != mnw.open_menu &&
          BTN_mouse_in(m.l, m.b, m.r, m.t)) {
        MACIBM_handleclick(0);
        break;
      }
    }
  }
  xtim_class::profile_chart("menu", 0);
  BTN_begin_focus_ring();
  if (mnw.modal == 0) {
    g_app_hooks.update();
    xtim.first_frame = 0;
  }
  mouse_help_per_wind(mnw.cur_window);
  standard_gui();
  // While recording, the recorder swaps the buffers itself around its capture.
  if (qtim.mov_per_frame() == 0) OGL_sbuff();
  xtim_class::profile_chart("sbuff", 0);
  xtim.frame_count += 1;
  xtim_class::profile_chart("oglwork", 0);
  xtim_class::profile_chart("finish", 1);
}

void MACIBM_pump_events() { pump_events(0); }

int MACIBM_take_one_event() {
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return 0;
  if (e.type == SDL_KEYDOWN) {
    const SDL_Keycode sym = e.key.keysym.sym;
    return sym > 0 && sym < 128 ? static_cast<int>(sym) : 0;
  }
  if (e.type == SDL_QUIT || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE))
    close_requested = 1;
  return 0;
}

// [SECTION] Windows and clicks

void MACIBM_startwind(int id) {
  plot_init_lights = 1;
  mouse_help_per_wind(id);
  PLAT_gl_viewport_full();
  mnw.window_dx = static_cast<float>(mnw.pixel_dx);
  mnw.window_dy = static_cast<float>(mnw.pixel_dy);
  mnw.modal = 0;
  struct {
    int id;
    float dx, dy;
    const char* title;  // null: the stored title of the id
  } sizes[] = {{wind_terms, 500, 300, "EULA"},       {wind_prefs, 600, 380, "Prefs"},
               {wind_first_own, 561, 474, "Livery"}, {wind_about, 600, 300, nullptr},
               {wind_alert, 420, 250, nullptr},      {wind_message, 300, 166, nullptr},
               {wind_question, 700, 146, nullptr},   {wind_browse_a, 561, 474, nullptr},
               {wind_browse_b, 330, 474, nullptr}};
  for (auto& s : sizes) {
    if (s.id != id) continue;
    stls.window_title = s.title ? s.title : stls.title_for(id);
    mnw.window_dx = s.dx;
    mnw.window_dy = s.dy;
    mnw.modal = 1;
  }
  BTN_unfocus_any();
  // Keys typed for one window never reach the next, and a pop-up list left
  // open when a window closed does not come back open.
  BTN_flush_key_queues();
  active_popup_code = select_popup_code = 0;
  mnw.open_menu = -1;
  mnw.cur_window = id;
  mnw.main_window_id = id;
  const float sc = scale();
  float ox = round_half_away((mnw.pixel_dx - sc * mnw.window_dx) * 0.5f);
  float oy = round_half_away((mnw.pixel_dy - sc * mnw.window_dy) * 0.5f);
  mnw.origin_x = std::max(0.0f, std::trunc(ox / sc));
  mnw.origin_y = std::max(0.0f, std::trunc(oy / sc));
  mnw.mouse_held = mnw.mouse_down = mnw.wheel = 0;
  if (menu.size() > kPopupMenuSlot) {
    menu_struct& popup = menu[kPopupMenuSlot];
    popup.l = popup.b = popup.r = popup.t = -1;
  }
}

void MACIBM_handleclick(int mode) {
  const int cur = mnw.cur_window;
  if (cur == wind_main) {
    for (size_t i = 0; i < menu.size() && i < kPopupMenuSlot; ++i) {
      const menu_struct& m = menu[i];
      if ((m.parent == -1 || m.parent == mnw.open_menu) && BTN_mouse_in(m.l, m.b, m.r, m.t)) {
        mnw.open_menu = static_cast<int>(i) == mnw.open_menu ? -1 : static_cast<int>(i);
        mnw.mouse_down = 0;
        return;
      }
    }
  } else if (cur < wind_alert || cur > wind_browse_b) {
    const float dx = mnw.window_dx, dy = mnw.window_dy;
    const bool corner = BTN_mouse_in(0, dy - 20, 25, dy) || BTN_mouse_in(dx - 25, dy - 20, dx, dy);
    if (mode == 1 || (mode == 0 && corner)) {
      BTN_zap_boxes(1);
      OGL_sbuff();
      return_hit = 0;
      MACIBM_startwind(wind_main);
      return;
    }
  }
  if (mnw.open_menu < 0 || mnw.open_menu >= static_cast<int>(menu.size())) {
    mnw.open_menu = -1;
    return;
  }
  for (const menu_item& item : menu[mnw.open_menu].items) {
    if (item.text.empty() || item.text[0] == '-' || item.text[0] == '=') continue;
    if (!BTN_mouse_in(item.l, item.b, item.r, item.t)) continue;
    if (mnw.open_menu == kPopupMenuSlot) {
      popup_menu_select = static_cast<int>(&item - menu[kPopupMenuSlot].items.data());
      select_popup_code = active_popup_code;
      active_popup_code = 0;
    } else {
      g_app_hooks.handlemenu(item.id);
    }
    mnw.open_menu = -1;
    mnw.mouse_down = 0;
    return;
  }
  // A press outside an open pop-up list cancels it; the press still reaches
  // the application, but does not open the same list again.
  if (mnw.open_menu == kPopupMenuSlot) {
    popup_cancel_code = active_popup_code;
    active_popup_code = 0;
  }
  mnw.open_menu = -1;
}

// [SECTION] Hover help, the cursor and the mouse

void mouse_help_per_wind(int id) {
  if (!stls.help_text.empty() && xtim.act_time - mnw.mouse_move_time > 1.0f) {
    float h = 10.0f * static_cast<float>(stls.help_text.size() / 50) + 20.0f;
    h = std::min(300.0f, std::max(60.0f, h));
    float x = mnw.mouse_x - 415 < 10 - mnw.origin_x
                  ? 10 - mnw.origin_x
                  : std::min(mnw.pixel_dx - 410 - mnw.origin_x, mnw.mouse_x - 415);
    float y = mnw.mouse_y + 15 < 10 - mnw.origin_y
                  ? 10 - mnw.origin_y
                  : std::min(mnw.pixel_dy - 20 - mnw.origin_y - h, mnw.mouse_y + 15);
    BTN_frame2(frame_help_box, x - 10, y - 10, 420, h + 20, "");
    OGL_string(colr_help_text, x + 3, y + h - 10, stls.help_text, 394, charset_ui, align_left);
  }
  stls.help_text.clear();
  xtim_class::profile_chart("help", 0);
  if (xtim.act_time - mnw.mouse_move_time > 10.0f && mnw.cur_window == wind_main)
    mnw.cursor_kind = 2;
  if (id >= wind_first_own && id <= wind_browse_b) mnw.cursor_kind = 0;
  if (mnw.cursor_kind <= 1 && !g_frame.OS_mouse_showing) {
    SDL_ShowCursor(SDL_ENABLE);
    g_frame.OS_mouse_showing = 1;
  } else if (mnw.cursor_kind >= 2 && g_frame.OS_mouse_showing) {
    SDL_ShowCursor(SDL_DISABLE);
    g_frame.OS_mouse_showing = 0;
  }
  if (mnw.cursor_kind == 1) {
    g_frame.mouse_was_plugin = 1;
  } else if (g_frame.mouse_was_plugin) {
    g_frame.mouse_was_plugin = 0;
    SDL_SetCursor(SDL_GetDefaultCursor());
  }
  if (mnw.cursor_kind > 2) {
    int kind = mnw.cursor_kind > 14 ? 13 : mnw.cursor_kind;
    const atlas::cursor_cell cell = atlas::cursor_cells[kind - atlas::kFirstDrawnCursor];
    int col = cell.col;
    if ((kind == 11 || kind == 12) && mnw.mouse_held) col = atlas::kHeldGripCol;
    const float size = float(atlas::kSize), step = float(atlas::cursor_step);
    float s = (float(atlas::cursor_s0) + step * col) / size,
          t = (float(atlas::cursor_t0) + step * cell.row) / size;
    float d = float(atlas::cursor_size) / size, x = mnw.mouse_x - 15, y = mnw.mouse_y - 15;
    OGL_2dquad(tex_slot_widgets, colr_art, 1.0f, x, y, s, t, x, y + 30, s, t + d, x + 30, y + 30,
               s + d, t + d, x + 30, y, s + d, t, 1, ogl_alpha_blend);
  }
}

int MACIBM_load_mxy(void* /*window*/, int h, int v) {
  place_mouse(h, v);
  return mnw.mouse_window;
}

int has_optionkey() { return (SDL_GetModState() & KMOD_LALT) ? 1 : 0; }
int has_shiftkey() { return (SDL_GetModState() & KMOD_SHIFT) ? 1 : 0; }
int has_capslock() { return (SDL_GetModState() & KMOD_CAPS) ? 1 : 0; }
