// The program-wide alert: the desktop's box before OpenGL is up (no display
// here, so it is logged and counts as dismissed), window 995 after, with
// Return and clicks pushed through SDL's event queue.
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <stdlib.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "core/clock.h"
#include "core/cmdline.h"
#include "core/globals.h"
#include "core/threads/threads.h"
#include "platform/alert.h"
#include "platform/frame.h"
#include "platform/shell.h"
#include "platform/startup.h"
#include "platform/window.h"
#include "tests/support/test_support.h"

using testing_support::read_file;

namespace {

class Alert : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    unsetenv("DISPLAY");  // no message box may wait for a person
    // A death test's child runs this again in a fresh process: it finds the
    // parent's folder through the environment and logs there.
    const char* inherited = getenv("ALERT_TEST_FOLDER");
    folder_ = inherited ? inherited : testing_support::make_temp_dir("alert");
    setenv("ALERT_TEST_FOLDER", folder_.c_str(), 1);
    xer.open(folder_ + "Log.txt", std::ios::out | std::ios::app);
    stls.ok_label = "OK";
    cmdline.clear();  // no option left by an earlier test, --fps_test above all
  }
  void TearDown() override {
    cmdline.clear();
    if (mnw.main_window) MACIBM_nuke_context(0);
    // open_window sets ogl_inited: with it, an alert waits in a window.
    g_startup.reset();
    g_alert.reset();
    PLAT_video_quit();
    xer.close();
    testing_support::run_command("rm -rf '" + folder_ + "'");
    unsetenv("ALERT_TEST_FOLDER");
  }
  std::string log() {
    xer.flush();
    return read_file(folder_ + "Log.txt");
  }
  void open_window() {
    mnw.pixel_dx = 1024;
    mnw.pixel_dy = 768;
    ASSERT_EQ(MACIBM_make_context(0), 1) << SDL_GetError();
    MACIBM_startwind(0);
    ogl_inited = 1;
  }
  static void push_return() {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = SDLK_RETURN;
    SDL_PushEvent(&e);
  }
  // A press at a point of window 995, in its logical units.
  static void push_click_995(float x, float y) {
    SDL_Event e;
    SDL_zero(e);
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.x = static_cast<int>(x + (1024 - 420) / 2);
    e.button.y = static_cast<int>(768 - (y + (768 - 250) / 2));
    SDL_PushEvent(&e);
  }
  std::string folder_;
};

TEST_F(Alert, FatalBeforeTheWindowLogsTheLinesAndWhereThenExitsWithOne) {
  EXPECT_EXIT(MACIBM_alert(0, "First.", "Second.", "Third.", "Fourth.", t_exit),
              ::testing::ExitedWithCode(1), "");
  std::string text = log();
  EXPECT_TRUE(std::regex_search(
      text,
      std::regex("\\nFirst\\.\\nSecond\\.\\nThird\\.\\nFourth\\.\\n\\([^\\n]*alert_test\\.cpp "
                 "line \\d+\\)\\n")))
      << text;
}

TEST_F(Alert, LongTextIsCutNotTurnedIntoAnotherAlert) {
  std::string long_line(600, 'x');
  MACIBM_alert(0, long_line.c_str(), "", long_line.c_str(), "", t_alert);
  std::string text = log();
  EXPECT_EQ(text.find("String too long!"), std::string::npos);
  EXPECT_NE(text.find("\n" + long_line + "\n"), std::string::npos);
}

TEST_F(Alert, FpsTestShowsNothingAndAFatalOneExitsAtOnce) {
  const char* argv[] = {"prog", "--fps_test"};
  cmdline.init_unix(2, argv);
  open_window();
  // Nothing pushed: a window would wait for ever.
  MACIBM_alert(0, "Only logged.", "", "", "", t_alert);
  EXPECT_EQ(mnw.cur_window, 0);
  EXPECT_NE(log().find("Only logged.\n"), std::string::npos);
  EXPECT_EXIT(MACIBM_alert(0, "Gone.", "", "", "", t_exit), ::testing::ExitedWithCode(1), "");
  // The child logged its lines and where before it left.
  std::string text = log();
  EXPECT_TRUE(std::regex_search(
      text, std::regex("\\nGone\\.\\n\\n\\n\\n\\([^\\n]*alert_test\\.cpp line \\d+\\)\\n")))
      << text;
}

TEST_F(Alert, ReturnOrAClickOnTheButtonDismissesTheWindow) {
  open_window();
  mnw.mouse_x = 123;
  mnw.mouse_y = 456;
  push_return();
  MACIBM_alert(0, "Pressed Return.", "", "", "", t_alert);
  EXPECT_EQ(mnw.cur_window, 0);
  EXPECT_EQ(mnw.mouse_x, 123);
  EXPECT_EQ(mnw.mouse_y, 456);
  EXPECT_EQ(return_hit, 0);

  // The button sits centred at (210, 18) of the 420 by 250 window.
  push_click_995(210, 18);
  MACIBM_alert(2, "Clicked.", "", "", "", t_alert);
  EXPECT_EQ(mnw.cur_window, 2);
  std::string text = log();
  EXPECT_NE(text.find("\nPressed Return.\n"), std::string::npos);
  EXPECT_NE(text.find("\nClicked.\n"), std::string::npos);
}

TEST_F(Alert, AClickBesideTheButtonLeavesTheWindowOpen) {
  open_window();
  push_click_995(20, 200);
  const int frames_before = xtim.frame_count;
  // Return comes only later, from another thread, as a person would press it:
  // late enough for a few frames of ten ticks each on a loaded machine.
  std::thread later([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    push_return();
  });
  MACIBM_alert(0, "Waits.", "", "", "", t_alert);
  later.join();
  EXPECT_EQ(mnw.cur_window, 0);
  EXPECT_GE(xtim.frame_count - frames_before, 2);
}

TEST_F(Alert, FatalInTheWindowEndsAfterReturnWithStatusOne) {
  open_window();
  EXPECT_EXIT(
      {
        push_return();
        MACIBM_alert(0, "Fatal here.", "", "", "", t_exit);
      },
      ::testing::ExitedWithCode(1), "");
  std::string text = log();
  EXPECT_TRUE(std::regex_search(
      text, std::regex("\\nFatal here\\.\\n\\n\\n\\n\\([^\\n]*alert_test\\.cpp line \\d+\\)\\n")))
      << text;
}

TEST_F(Alert, AWorkersAlertIsShownAtTheNextFrameOfWindowZero) {
  open_window();
  THREAD_init();
  std::thread worker([] { MACIBM_alert(0, "From a worker.", "", "", "", t_alert); });
  worker.join();
  // Queued, not shown: nothing on the worker, nothing logged yet.
  EXPECT_EQ(log().find("From a worker."), std::string::npos);
  EXPECT_EQ(mnw.cur_window, 0);
  push_return();
  MACIBM_event_proc();
  EXPECT_EQ(mnw.cur_window, 0);
  EXPECT_NE(log().find("\nFrom a worker.\n"), std::string::npos) << log();
  THREAD_shutdown();
}

}  // namespace
