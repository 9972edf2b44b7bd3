// Window ids and the frame loop, with a real window (SDL offscreen, Mesa) and
// input pushed through SDL's own event queue.
#include <gtest/gtest.h>
#include <SDL2/SDL.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/globals.h"
#include "platform/frame.h"
#include "platform/menus.h"
#include "platform/ready_watch.h"
#include "platform/shell.h"
#include "platform/window.h"
#include "tests/support/shell_input.h"
#include "widgets/focus.h"
#include "widgets/popup.h"
#include "widgets/text_entry.h"

namespace {

class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    mnw.pixel_dx = 1024;
    mnw.pixel_dy = 768;
    ASSERT_EQ(MACIBM_make_context(0), 1) << SDL_GetError();
    g_frame.reset();
    mnw.cur_window = -1;
    BTN_reset_focus();
    BTN_reset_text_entry();
    MACIBM_startwind(-1);
  }
  void TearDown() override {
    g_app_hooks.update = app_hooks{}.update;
    g_app_hooks.ready_fds = app_hooks{}.ready_fds;
    PLAT_ready_watch_shutdown();
    stg.use_max_cpu = 0;
    g_frame.reset();
    MACIBM_nuke_context(0);
    PLAT_video_quit();
  }

  // A press at a point of the current window (logical units, y up).
  static void push_click(float x, float y) {
    testing_support::push_button(SDL_MOUSEBUTTONDOWN, x, y);
  }
  static void push_key(SDL_Keycode key) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
  }
  // A key that types: its key-down, the text it typed and its key-up.
  static void push_typed(SDL_Scancode s, const char* text, Uint16 mod = 0) {
    testing_support::push_key(SDL_KEYDOWN, s, mod);
    testing_support::push_text(text);
    testing_support::push_key(SDL_KEYUP, s, mod);
  }
};

TEST_F(Frame, WindowIdsGetTheirSizeTitleAndCentredOrigin) {
  struct {
    int id;
    float dx, dy;
    int modal;
    const char* title;
    float ox, oy;
  } cases[] = {
      {0, 1024, 768, 0, nullptr, 0, 0},      {1, 500, 300, 1, "EULA", 262, 234},
      {2, 600, 380, 1, "Prefs", 212, 194},   {993, 561, 474, 1, "Livery", 232, 147},
      {995, 420, 250, 1, nullptr, 302, 259}, {997, 700, 146, 1, nullptr, 162, 311},
      {999, 330, 474, 1, nullptr, 347, 147}, {42, 1024, 768, 0, nullptr, 0, 0},
  };
  stls.title_for(996) = "Question";
  for (auto& c : cases) {
    stls.window_title = "before";
    MACIBM_startwind(c.id);
    EXPECT_EQ(mnw.cur_window, c.id);
    EXPECT_EQ(mnw.main_window_id, c.id);
    EXPECT_EQ(mnw.window_dx, c.dx) << c.id;
    EXPECT_EQ(mnw.window_dy, c.dy) << c.id;
    EXPECT_EQ(mnw.modal, c.modal) << c.id;
    EXPECT_EQ(mnw.origin_x, c.ox) << c.id;
    EXPECT_EQ(mnw.origin_y, c.oy) << c.id;
    if (c.title) {
      EXPECT_EQ(stls.window_title, c.title) << c.id;
    }
    if (c.id == 997) {
      EXPECT_EQ(stls.window_title, "Question");
    }
    if (!c.modal) {
      EXPECT_EQ(stls.window_title, "before");
    }
  }
}

TEST_F(Frame, FirstFrameSwitchesFromStartUpToWindowZeroOnce) {
  ASSERT_EQ(mnw.cur_window, -1);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.cur_window, 0);
  EXPECT_EQ(plot_init_lights, 1);
  // The flag stays set for the run: a later -1 just becomes 0 without a switch.
  mnw.cur_window = -1;
  mnw.open_menu = 5;
  MACIBM_event_proc();
  EXPECT_EQ(mnw.cur_window, 0);
  EXPECT_EQ(mnw.open_menu, 5);
  mnw.open_menu = -1;
}

TEST_F(Frame, APressIsMappedToTheCurrentWindowsUnits) {
  MACIBM_startwind(2);
  push_click(100, 50);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.mouse_x, 100);
  EXPECT_EQ(mnw.mouse_y, 50);
  EXPECT_EQ(mnw.mouse_down, 1);
  EXPECT_EQ(mnw.cur_window, 2);
  // Cleared again at the start of the next frame.
  MACIBM_event_proc();
  EXPECT_EQ(mnw.mouse_down, 0);
}

TEST_F(Frame, CloseCornersAndReturnCloseOnlyTheInstallersWindows) {
  struct {
    int id;
    float x, y;  // relative to the top corners: dx < 0 counts from the right
    bool key;
    int after;
  } cases[] = {
      {1, 10, -10, false, 0},   // top-left corner
      {2, -10, -5, false, 0},   // top-right corner
      {2, 300, -10, false, 2},  // top edge, between the corners
      {1, 0, 0, true, 0},       // Return
      {2, 0, 0, true, 0},
      {995, 10, -10, false, 995},  // the framework's own dialogs close themselves
      {997, 0, 0, true, 997},
  };
  for (auto& c : cases) {
    MACIBM_startwind(c.id);
    if (c.key) {
      push_key(SDLK_RETURN);
    } else {
      float x = c.x < 0 ? mnw.window_dx + c.x : c.x;
      push_click(x, mnw.window_dy + c.y);
    }
    MACIBM_event_proc();
    EXPECT_EQ(mnw.cur_window, c.after) << "window " << c.id << (c.key ? " Return" : " click");
    // Closing by Return leaves no Return for the window underneath.
    if (c.key && c.after == 0) {
      EXPECT_EQ(return_hit, 0);
    }
    if (c.key && c.after != 0) {
      EXPECT_EQ(return_hit, 1);
    }
  }
}

TEST_F(Frame, CloseRequestQuitsAtOnceInWindowZeroAndWaitsInAModalWindow) {
  app_done = 0;
  MACIBM_startwind(2);
  testing_support::push_quit();
  MACIBM_event_proc();
  EXPECT_EQ(app_done, 0);
  MACIBM_event_proc();
  EXPECT_EQ(app_done, 0);
  MACIBM_startwind(0);
  MACIBM_event_proc();
  EXPECT_EQ(app_done, 1);
  app_done = 0;
}

// The application's descriptors (an install's sockets, its workers'
// finished files) end the frame's wait for events as an event would, and are
// asked for only when the frame waits.
namespace ready_test {
int fds[2] = {-1, -1};
int asked = 0;
int give_pipe(pollfd* out, int room) {
  ++asked;
  if (room < 1) return 0;
  out[0] = {fds[0], POLLIN, 0};
  return 1;
}
}  // namespace ready_test

TEST_F(Frame, AReadyDescriptorEndsTheWaitAsAnEventWould) {
  using namespace ready_test;
  ASSERT_EQ(pipe(fds), 0);
  g_app_hooks.ready_fds = give_pipe;
  MACIBM_event_proc();  // the first frame switches windows
  const int wakes = g_frame.ready_wakes;

  // Nothing ready: the frame waits out its tick.
  asked = 0;
  MACIBM_event_proc();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(g_frame.ready_wakes, wakes);

  // Ready before the frame, and ready while a long wait runs (an alert's
  // frame waits ten ticks): each ends the wait. A wait may end first for
  // the window's own events; it ends for the descriptor within a few frames.
  auto frames_until_woken = [](int before) {
    for (int frame = 0; frame < 20 && g_frame.ready_wakes == before; ++frame) MACIBM_event_proc();
  };
  ASSERT_EQ(write(fds[1], "x", 1), 1);
  frames_until_woken(wakes);
  EXPECT_EQ(g_frame.ready_wakes, wakes + 1);
  char byte;
  ASSERT_EQ(read(fds[0], &byte, 1), 1);
  MACIBM_startwind(wind_alert);
  std::thread writer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    (void)!write(fds[1], "y", 1);
  });
  frames_until_woken(wakes + 1);
  writer.join();
  EXPECT_EQ(g_frame.ready_wakes, wakes + 2);

  // A frame that takes all the time it needs never waits, and never asks.
  ASSERT_EQ(read(fds[0], &byte, 1), 1);
  stg.use_max_cpu = 1;
  MACIBM_startwind(wind_main);
  asked = 0;
  MACIBM_event_proc();
  EXPECT_EQ(asked, 0);
  close(fds[0]);
  close(fds[1]);
}

// A long task outside the frame loop takes the events itself: a close
// request is noted but quits only at the next frame, and the one-event taker
// hands back a plain key's character.
TEST_F(Frame, EventsTakenOutsideAFrameLeaveTheCloseToTheNextFrame) {
  MACIBM_startwind(0);
  app_done = 0;
  testing_support::push_quit();
  testing_support::push_keystroke(SDL_SCANCODE_Q);
  MACIBM_pump_events();
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
  EXPECT_EQ(close_requested, 1);
  EXPECT_EQ(app_done, 0);
  MACIBM_event_proc();
  EXPECT_EQ(app_done, 1);

  app_done = 0;
  g_frame.reset();  // the close request of the first part is spent
  testing_support::push_key(SDL_KEYDOWN, SDL_SCANCODE_Q);
  testing_support::push_key(SDL_KEYDOWN, SDL_SCANCODE_F1);
  testing_support::push_quit();
  EXPECT_EQ(MACIBM_take_one_event(), 'q');
  EXPECT_EQ(MACIBM_take_one_event(), 0) << "a key without a plain character";
  EXPECT_EQ(close_requested, 0) << "one event a call";
  EXPECT_EQ(MACIBM_take_one_event(), 0);
  EXPECT_EQ(close_requested, 1);
  EXPECT_EQ(MACIBM_take_one_event(), 0) << "nothing left";
}

// [SECTION] Keys, the wheel and the pop-up list reaching the widgets

// Two text fields drawn by the application every frame, the first grabbing
// the focus.
std::string field_one, field_two;
int wheel_seen = 0;
void two_fields() {
  wheel_seen = mnw.wheel;
  BTN_enterstring(100, 100, &field_one, 65, "", 200, 1);
  BTN_enterstring(100, 60, &field_two, 65, "", 200, 0);
}

TEST_F(Frame, KeysReachTheFocusedFieldAndTabMovesTheFocus) {
  field_one = "old";
  field_two = "";
  g_app_hooks.update = two_fields;
  MACIBM_event_proc();  // the first field grabs the focus, its text selected
  push_typed(SDL_SCANCODE_H, "h");
  push_typed(SDL_SCANCODE_I, "I", KMOD_LSHIFT);
  push_typed(SDL_SCANCODE_KP_7, "7");
  push_key(SDLK_BACKSPACE);
  MACIBM_event_proc();
  EXPECT_EQ(field_one, "hI");
  EXPECT_EQ(delete_hit, 0) << "the field took the backspace";
  // Text in Latin-1 arrives as its byte; what it cannot hold is dropped.
  push_typed(SDL_SCANCODE_E, "\xc3\xa9");
  push_typed(SDL_SCANCODE_E, "\xe2\x82\xac");
  MACIBM_event_proc();
  EXPECT_EQ(field_one, "hI") << "beyond printable ASCII: left to the bindings";
  EXPECT_EQ(mnw.key_char, 0xE9);
  push_key(SDLK_RETURN);
  MACIBM_event_proc();
  EXPECT_EQ(return_hit, 1) << "Return is never a field's";
  push_key(SDLK_TAB);
  push_typed(SDL_SCANCODE_X, "x");
  MACIBM_event_proc();
  EXPECT_EQ(focus_id, BTN_widget_id(100, 60));
  EXPECT_EQ(field_two, "x");
  EXPECT_EQ(field_one, "hI");
}

TEST_F(Frame, TheWheelCountsThisFramesTurnsOnly) {
  g_app_hooks.update = two_fields;
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = 2;
  SDL_PushEvent(&e);
  SDL_PushEvent(&e);
  MACIBM_event_proc();
  EXPECT_EQ(wheel_seen, 4);
  MACIBM_event_proc();
  EXPECT_EQ(wheel_seen, 0);
}

int speed = 1;
int speed_chosen = 0;
void one_selector() {
  speed_chosen += BTN_textlist(200, 300, &speed, "Slow-Medium-Fast", "Speed|");
}

TEST_F(Frame, APopUpListOpensAndDeliversItsChoiceOverFrames) {
  MACIBM_clear_menus(1);
  speed = 1;
  speed_chosen = 0;
  g_app_hooks.update = one_selector;
  MACIBM_event_proc();
  push_click(200, 303);
  MACIBM_event_proc();
  ASSERT_EQ(mnw.open_menu, kPopupMenuSlot);
  // Rows of 12 downwards, Medium level with the box: Fast is 12 below it.
  push_click(200, 303 - 12);
  MACIBM_event_proc();
  EXPECT_EQ(speed, 2);
  EXPECT_EQ(speed_chosen, 1);
  EXPECT_EQ(mnw.open_menu, -1);
  // Opened again, then a press elsewhere closes it for good.
  push_click(200, 303);
  MACIBM_event_proc();
  ASSERT_EQ(mnw.open_menu, kPopupMenuSlot);
  push_click(600, 600);
  MACIBM_event_proc();
  MACIBM_event_proc();
  EXPECT_EQ(mnw.open_menu, -1);
  EXPECT_EQ(active_popup_code, 0);
  EXPECT_EQ(speed, 2);
  // A list left open when a window switch comes does not return.
  push_click(200, 303);
  MACIBM_event_proc();
  ASSERT_EQ(mnw.open_menu, kPopupMenuSlot);
  MACIBM_startwind(0);
  MACIBM_event_proc();
  EXPECT_EQ(mnw.open_menu, -1);
}

}  // namespace
