// Keys typed on a real X display under two keyboard layouts: the frame loop
// runs in a child on a private Xvfb display, xdotool types into its window,
// and each key-down frame reports its virtual key, character and modifier
// flags. The same letters arrive as each layout types them, wherever the
// layout puts them. Skipped where Xvfb, xdotool or setxkbmap is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/globals.h"
#include "platform/frame.h"
#include "platform/keys/keys.h"
#include "platform/menus.h"
#include "platform/window.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"

using testing_support::make_temp_dir;
using testing_support::on_path;
using testing_support::pause_ms;
using testing_support::read_file;
using testing_support::stop_process;
using testing_support::XvfbDisplay;

namespace {

struct typed {
  const char* keysym;  // as xdotool names it
  int vkey, c, flags;
};

// The frame loop of the child: one line "vkey char flags" per frame in which
// a key went down, until Escape or 30 s.
int report_keys(const std::string& out_path) {
  mnw.pixel_dx = 640;
  mnw.pixel_dy = 480;
  if (!MACIBM_make_context(0)) return 3;
  MACIBM_clear_menus(1);
  MACIBM_startwind(0);
  FILE* out = fopen(out_path.c_str(), "w");
  if (!out) return 4;
  fputs("ready\n", out);
  fflush(out);
  const double until = xtim_class::microsecs() / 1e6 + 30;
  while (!escape_hit && xtim_class::microsecs() / 1e6 < until) {
    mnw.key_char = 0;
    MACIBM_event_proc();
    if (mnw.key_hit && !escape_hit) {
      fprintf(out, "%d %d %d\n", keys.last_vkey, mnw.key_char, keys.last_flags);
      fflush(out);
    }
  }
  fclose(out);
  MACIBM_nuke_context(0);
  PLAT_video_quit();
  return escape_hit ? 0 : 5;
}

class KeyboardLayout : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!on_path("Xvfb") || !on_path("xdotool") || !on_path("setxkbmap"))
      GTEST_SKIP() << "needs Xvfb, xdotool and setxkbmap";
    folder_ = make_temp_dir("layout");
    const std::string failed = display_.start("1280x1024x24");
    ASSERT_EQ(failed, "");
  }
  void TearDown() override {
    stop_process(child_, SIGKILL, false);
    display_.stop();
  }

  // Types each key under the layout, one at a time, and checks what the
  // program made of it.
  void type_and_check(const std::string& layout, const std::vector<typed>& keys_typed) {
    int status = -1;
    display_.run("setxkbmap -layout " + layout, &status);
    ASSERT_EQ(status, 0) << "setxkbmap " << layout;
    const std::string out = folder_ + layout + ".txt";
    child_ = fork();
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
      setenv("DISPLAY", display_.name().c_str(), 1);
      setenv("SDL_VIDEODRIVER", "x11", 1);  // CTest sets offscreen for the test itself
      _exit(report_keys(out));
    }
    std::string id;
    for (int i = 0; i < 150 && id.empty(); ++i) {
      id = display_.run("xdotool search --onlyvisible --name '^Nimbrel$'");
      id = id.substr(0, id.find('\n'));
      if (id.empty()) pause_ms(100);
    }
    ASSERT_NE(id, "") << "no window showed";
    for (int i = 0; i < 100 && read_file(out).empty(); ++i) pause_ms(100);
    display_.run("xdotool windowfocus --sync " + id);
    pause_ms(300);
    for (const typed& k : keys_typed) {
      display_.run(std::string("xdotool key --clearmodifiers ") + k.keysym);
      pause_ms(250);
    }
    display_.run("xdotool key Escape");
    int child_status = -1;
    for (int i = 0; i < 100 && child_; ++i) {
      if (waitpid(child_, &child_status, WNOHANG) == child_) child_ = 0;
      pause_ms(100);
    }
    ASSERT_EQ(child_, 0) << "the window did not take Escape";
    EXPECT_TRUE(WIFEXITED(child_status) && WEXITSTATUS(child_status) == 0) << child_status;

    std::istringstream lines(read_file(out));
    std::string ready;
    std::getline(lines, ready);
    for (const typed& k : keys_typed) {
      int vkey = -1, c = -1, flags = -1;
      lines >> vkey >> c >> flags;
      EXPECT_EQ(vkey, k.vkey) << layout << " " << k.keysym;
      EXPECT_EQ(c, k.c) << layout << " " << k.keysym;
      EXPECT_EQ(flags, k.flags) << layout << " " << k.keysym;
    }
    std::string rest;
    lines >> rest;
    EXPECT_EQ(rest, "") << layout << ": more keys arrived than were typed";
  }

  std::string folder_;
  XvfbDisplay display_;
  pid_t child_ = 0;
};

TEST_F(KeyboardLayout, UsTypesLettersWhereTheyStand) {
  type_and_check("us", {{"a", VYKO_VK_A, 'a', 0},
                        {"y", VYKO_VK_Y, 'y', 0},
                        {"z", VYKO_VK_Z, 'z', 0},
                        {"shift+a", VYKO_VK_A, 'A', 1},
                        {"at", VYKO_VK_2, '@', 1},
                        {"minus", VYKO_VK_MINUS, '-', 0},
                        {"Return", VYKO_VK_RETURN, 13, 0}});
}

// On the German layout Y and Z swap places and "@" is AltGr+Q; the letters
// still arrive as typed, AltGr is no Option, and keys the bindings know only
// by position ("ö" where ";" stands, "-" where "/" stands) keep it.
TEST_F(KeyboardLayout, GermanTypesTheSameLettersFromOtherKeys) {
  type_and_check("de", {{"a", VYKO_VK_A, 'a', 0},
                        {"y", VYKO_VK_Y, 'y', 0},
                        {"z", VYKO_VK_Z, 'z', 0},
                        {"shift+a", VYKO_VK_A, 'A', 1},
                        {"at", VYKO_VK_Q, '@', 0},
                        {"odiaeresis", VYKO_VK_SEMICOLON, 0xF6, 0},
                        {"minus", VYKO_VK_SLASH, '-', 0},
                        {"Return", VYKO_VK_RETURN, 13, 0}});
}

}  // namespace
