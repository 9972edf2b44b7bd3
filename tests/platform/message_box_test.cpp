// The message boxes for real: each box is shown by a child process on a
// private Xvfb display and answered as a person would, with a key or a click
// found on a screenshot of the box. Skipped where Xvfb or xdotool is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/alert.h"
#include "platform/dialogs/dialogs.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"

using testing_support::make_temp_dir;
using testing_support::on_path;
using testing_support::pause_ms;
using testing_support::read_file;
using testing_support::run_command;
using testing_support::stop_process;
using testing_support::XvfbDisplay;

namespace {

struct Span {
  int from, to;
  int ink;  // dark pixels of the label in the button
  int middle() const { return (from + to) / 2; }
};

class MessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!on_path("Xvfb") || !on_path("xdotool") || !on_path("import"))
      GTEST_SKIP() << "needs Xvfb, xdotool and ImageMagick";
    folder_ = make_temp_dir("message_box");
    // Wide enough for a box with a long line that is never wrapped.
    const std::string failed = display_.start("3200x1200x24");
    ASSERT_EQ(failed, "");
  }
  void TearDown() override {
    stop_process(box_, SIGKILL, true);
    display_.stop();
    if (!folder_.empty()) run_command("rm -rf '" + folder_ + "'");
  }

  std::string x(const std::string& command, int* status = nullptr) {
    return display_.run(command, status);
  }

  // Shows a box in a child process of its own group (SDL runs a helper
  // for the box; killing the group ends both). Its exit status is what
  // `body` returns. Returns the box's window id, or "" if none showed.
  std::string show(const std::function<int()>& body) {
    box_ = fork();
    if (box_ == 0) {
      setpgid(0, 0);
      setenv("DISPLAY", display_.name().c_str(), 1);
      setenv("SDL_VIDEODRIVER", "x11", 1);  // CTest sets offscreen for the test itself
      _exit(body());
    }
    for (int i = 0; i < 150; ++i) {
      std::string id = x("xdotool search --onlyvisible --name '^Nimbrel$'");
      if (!id.empty()) {
        id = id.substr(0, id.find('\n'));
        pause_ms(500);  // let it draw before it is read or clicked
        return id;
      }
      int status;
      if (waitpid(box_, &status, WNOHANG) == box_) {
        box_ = 0;
        break;
      }
      pause_ms(100);
    }
    return "";
  }

  // Answers the box and returns its exit status once it has gone; -1 if it
  // is still up after 10 s. A box that shows before it takes input (a busy
  // machine) loses the first key or click, so the answer is given again
  // every 2 s while the box stays up.
  int answer(const std::function<void()>& act) {
    act();
    for (int i = 1; i <= 100; ++i) {
      int status;
      if (waitpid(box_, &status, WNOHANG) == box_) {
        box_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      pause_ms(100);
      if (i % 20 == 0) act();
    }
    return -1;
  }

  void key(const std::string& id, const std::string& name) {
    x("xdotool windowfocus --sync " + id + " key " + name);
  }

  int width_of(const std::string& id) {
    std::string shell = x("xdotool getwindowgeometry --shell " + id);
    size_t at = shell.find("WIDTH=");
    return at == std::string::npos ? -1 : std::stoi(shell.substr(at + 6));
  }

  // The buttons along the bottom of the box, left to right, with the row
  // through their middle: the spans that differ from the box's background
  // on the lowest block of rows that are not all background. Each has the
  // ink of its label, which tells a long label from a short one.
  std::vector<Span> buttons(const std::string& id, int* row) {
    x("xdotool mousemove 0 0");  // nothing lit up under the pointer
    pause_ms(300);
    const std::string shot = folder_ + "box.ppm";
    x("import -window " + id + " -depth 8 " + shot);
    std::string ppm = read_file(shot);
    int w = 0, h = 0, max = 0, header = 0;
    if (sscanf(ppm.c_str(), "P6 %d %d %d%n", &w, &h, &max, &header) != 3 || max != 255) return {};
    const unsigned char* px = reinterpret_cast<const unsigned char*>(ppm.data()) + header + 1;
    if (ppm.size() < static_cast<size_t>(header + 1 + w * h * 3)) return {};
    auto at = [&](int col, int line) { return px + (line * w + col) * 3; };
    auto background = [&](int col, int line) {
      const unsigned char *p = at(col, line), *bg = at(0, 0);
      return p[0] == bg[0] && p[1] == bg[1] && p[2] == bg[2];
    };
    auto spans = [&](int line) {
      std::vector<Span> out;
      for (int col = 0; col < w; ++col) {
        if (background(col, line)) continue;
        int end = col;
        while (end + 1 < w && !background(end + 1, line)) ++end;
        if (end - col >= 20) out.push_back({col, end, 0});
        col = end;
      }
      return out;
    };
    int bottom = h - 1;
    while (bottom >= 0 && spans(bottom).empty()) --bottom;
    int top = bottom;
    while (top > 0 && !spans(top - 1).empty()) --top;
    if (bottom < 0) return {};
    *row = (top + bottom) / 2;
    // The rounded corners keep the buttons apart on the block's top row.
    std::vector<Span> found = spans(top);
    for (Span& s : found)
      for (int line = top; line <= bottom; ++line)
        for (int col = s.from; col <= s.to; ++col)
          if (at(col, line)[0] + at(col, line)[1] + at(col, line)[2] < 384) ++s.ink;
    return found;
  }

  // A busy machine may show the box a while before it has drawn its
  // buttons: look again for up to 5 s until the expected number is there.
  std::vector<Span> buttons_when_drawn(const std::string& id, size_t expected, int* row) {
    std::vector<Span> found;
    for (int i = 0; i < 10; ++i) {
      found = buttons(id, row);
      if (found.size() == expected) break;
      pause_ms(500);
    }
    return found;
  }

  void click(const std::string& id, int col, int row) {
    x("xdotool mousemove --window " + id + " " + std::to_string(col) + " " + std::to_string(row) +
      " click 1");
  }

  std::string folder_;
  XvfbDisplay display_;
  pid_t box_ = 0;
};

TEST_F(MessageBox, ConfirmMessageIsTrueOnlyForTheOkButton) {
  // Labels of unlike length tell the buttons apart on the screenshot.
  auto ask = [] {
    return ConfirmMessage("Install the scenery now?", "Install everything", "No") ? 1 : 0;
  };
  struct {
    const char* how;
    int want;
  } cases[] = {{"Return", 1}, {"Escape", 0}, {"click ok", 1}, {"click cancel", 0}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.how);
    std::string id = show(ask);
    ASSERT_NE(id, "") << "no box showed";
    std::string how = c.how;
    if (how.rfind("click", 0) == 0) {
      int row = 0;
      std::vector<Span> found = buttons_when_drawn(id, 2, &row);
      ASSERT_EQ(found.size(), 2u) << "the box should show two buttons";
      const Span& ok = found[0].ink > found[1].ink ? found[0] : found[1];
      const Span& cancel = &ok == &found[0] ? found[1] : found[0];
      const Span target = how == "click ok" ? ok : cancel;
      EXPECT_EQ(answer([&] { click(id, target.middle(), row); }), c.want);
    } else {
      EXPECT_EQ(answer([&] { key(id, how); }), c.want);
    }
    stop_process(box_, SIGKILL, true);
  }
}

TEST_F(MessageBox, DoUserAlertEndsOnEachWayOfDismissingIt) {
  auto alert = [] {
    DoUserAlert("The disk is full.");
    return 7;  // returned, not killed
  };
  for (const char* how : {"Return", "Escape", "click"}) {
    SCOPED_TRACE(how);
    std::string id = show(alert);
    ASSERT_NE(id, "") << "no box showed";
    if (std::string(how) == "click") {
      int row = 0;
      std::vector<Span> found = buttons_when_drawn(id, 1, &row);
      ASSERT_EQ(found.size(), 1u) << "the alert should show one button";
      EXPECT_EQ(answer([&] { click(id, found[0].middle(), row); }), 7);
    } else {
      EXPECT_EQ(answer([&] { key(id, how); }), 7);
    }
    stop_process(box_, SIGKILL, true);
  }
}

// The box never wraps a line itself: the start-up alert's long lines, and a
// long message, must reach it wrapped, or the box grows wider than a
// 1280-pixel screen and its button lands off it. Each box is answered with
// a click on its one button.
TEST_F(MessageBox, LongAlertsAreWrappedToFitTheScreen) {
  const std::string lines[4] = {
      "I could not set up the graphics for Nimbrel! I hope your monitor is at 1024x768 or "
      "higher! It must be!",
      "You do not meet the system requirements or you do not have OpenGL drivers or you entered "
      "a bad resolution in Nimbrel!",
      "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D "
      "accelerator card!",
      "If you reset the resolution, you can try launching Nimbrel again, since I am resetting "
      "Nimbrel to default resolution now."};
  std::string long_message;
  for (int i = 0; i < 30; ++i) long_message += "word" + std::to_string(i) + " and more ";
  struct Case {
    const char* what;
    std::function<int()> body;
  } cases[] = {
      {"start-up alert",
       [&] {
         // Before OpenGL the alert is the desktop's box; it is logged in the
         // box's own folder.
         if (chdir(folder_.c_str()) != 0) return 1;
         PLAT_show_alert(0, lines, "(startup.cpp line 1358)", t_alert);
         return 7;
       }},
      {"long message",
       [&] {
         DoUserAlert(long_message.c_str());
         return 7;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string id = show(c.body);
    ASSERT_NE(id, "") << "no box showed";
    EXPECT_GT(width_of(id), 0);
    EXPECT_LE(width_of(id), 1280);
    int row = 0;
    std::vector<Span> found = buttons_when_drawn(id, 1, &row);
    ASSERT_EQ(found.size(), 1u) << "the alert should show one button";
    EXPECT_LE(found[0].to, 1280);
    EXPECT_EQ(answer([&] { click(id, found[0].middle(), row); }), 7);
    stop_process(box_, SIGKILL, true);
  }
}

// With no display to show a box on, nothing waits for an answer: the alert's
// text goes to standard error and the question counts as declined.
TEST(MessageBoxWithoutDisplay, AlertIsLoggedAndQuestionDeclined) {
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        setenv("SDL_VIDEODRIVER", "x11", 1);
        DoUserAlert("The disk is full.");
        exit(ConfirmMessage("Go on?", "Yes", "No") ? 3 : 0);
      },
      ::testing::ExitedWithCode(0), "The disk is full\\.");
}

}  // namespace
