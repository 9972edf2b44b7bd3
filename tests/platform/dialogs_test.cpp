// The desktop dialogs, with a recording stand-in for zenity first on PATH: it
// writes each argument it got on a line of its own and answers as told. As
// the progress window it records what it reads on its standard input, and
// with a "lines" file it reads only that many lines and ends, as zenity does
// when the user closes its window.
//
// Contents
//   [SECTION] Helpers and the fixture
//   [SECTION] Choosers
//   [SECTION] The progress window
//   [SECTION] The chooser and our window
//   [SECTION] Box texts and byte order
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include <SDL2/SDL.h>

#include <algorithm>

#include "core/globals.h"
#include "platform/dialogs/dialogs.h"
#include "platform/frame.h"
#include "tests/support/shell_input.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"
#include "tests/support/xvfb.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::write_file;

namespace {

// [SECTION] Helpers and the fixture

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    g_frame.reset();
    folder_ = make_temp_dir("dialogs");
    old_path_ = testing_support::stand_in_on_path(
        folder_, "zenity",
        "#!/bin/sh\n"
        "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
        "if [ \"$1\" = --progress ]; then\n"
        "  d=$(dirname \"$0\")\n"
        "  echo started >> \"$d/runs\"\n"
        "  if [ -f \"$d/lines\" ]; then head -n \"$(cat \"$d/lines\")\" > \"$d/stdin\"\n"
        "  else cat > \"$d/stdin\"; fi\n"
        "  touch \"$d/ended\"\n"
        "  exit 1\n"
        "fi\n"
        "cat \"$(dirname \"$0\")/answer\" 2>/dev/null\n"
        "exit \"$(cat \"$(dirname \"$0\")/status\" 2>/dev/null || echo 0)\"\n");
  }
  void TearDown() override {
    g_frame.reset();
    setenv("PATH", old_path_.c_str(), 1);
    testing_support::run_command("rm -rf '" + folder_ + "'");
  }
  void answer(const std::string& text, int status) {
    write_file(folder_ + "answer", text);
    write_file(folder_ + "status", std::to_string(status));
  }
  std::vector<std::string> args() { return lines_of("args"); }
  std::vector<std::string> lines_of(const std::string& name) {
    std::vector<std::string> out;
    std::string all = read_file(folder_ + name), line;
    for (char c : all) {
      if (c == '\n') {
        out.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    return out;
  }
  // Waits up to 10 s for the stand-in's progress window to end.
  bool progress_ended() {
    struct stat st;
    for (int i = 0; i < 200; ++i) {
      if (stat((folder_ + "ended").c_str(), &st) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  std::string folder_, old_path_;
};

// Whether a child of this process has ended and waits to be reaped; -1 when
// there is no child at all. The child is left as it is.
int ended_child() {
  siginfo_t info{};
  if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) != 0) return -1;
  return info.si_pid != 0;
}

// [SECTION] Choosers

TEST_F(Dialogs, EachModeAsksZenityForItsKindOfChoice) {
  struct {
    int mode;
    const char* default_folder;
    const char* proposed;
    std::vector<std::string> want;
  } cases[] = {
      {0,
       "/data/In Here",
       "",
       {"--file-selection", "--title=Open it - Open", "--filename=/data/In Here/"}},
      {1,
       "/data/out/",
       "name.txt",
       {"--file-selection", "--save", "--title=Open it - Open", "--filename=/data/out/name.txt"}},
      {2, nullptr, "", {"--file-selection", "--directory", "--title=Open it - Open"}},
  };
  for (auto& c : cases) {
    answer("/chosen/with blanks in it/x y\n", 0);
    std::string path = c.proposed;
    EXPECT_EQ(GetFilePathFromUser(c.mode, "Open it", "Open", 1, c.default_folder, path), 1);
    EXPECT_EQ(path, "/chosen/with blanks in it/x y");
    EXPECT_EQ(args(), c.want) << "mode " << c.mode;
  }
}

// Linux lets a name end in a line feed or a carriage return; only the line
// feed zenity adds after the path is not part of it. "x" stands beside "x\n",
// so a name cut short names the other folder.
TEST_F(Dialogs, OnlyTheLineFeedZenityAddsIsTakenOffTheAnswer) {
  for (const char* name : {"x", "x\n", "x\r", "x\r\n", "x\n\n"})
    ASSERT_EQ(mkdir((folder_ + name).c_str(), 0755), 0);
  struct {
    std::string answer, chosen;
  } cases[] = {
      {folder_ + "x\n\n", folder_ + "x\n"},     {folder_ + "x\r\n", folder_ + "x\r"},
      {folder_ + "x\r\n\n", folder_ + "x\r\n"}, {folder_ + "x\n\n\n", folder_ + "x\n\n"},
      {folder_ + "x\n", folder_ + "x"},         {folder_ + "x", folder_ + "x"},
  };
  for (const auto& c : cases) {
    answer(c.answer, 0);
    std::string path;
    EXPECT_EQ(GetFilePathFromUser(2, "m", "b", 1, nullptr, path), 1);
    EXPECT_EQ(path, c.chosen);
    struct stat st;
    EXPECT_EQ(stat(path.c_str(), &st), 0) << "the folder chosen is there";
  }
  // A bare line feed names nothing.
  answer("\n", 0);
  std::string path = "/kept/";
  EXPECT_EQ(GetFilePathFromUser(2, "m", "b", 1, nullptr, path), 0);
  EXPECT_EQ(path, "/kept/");
}

TEST_F(Dialogs, CancelFailureAndBadModeLeaveThePathAlone) {
  std::string path = "/kept/";
  answer("", 1);  // zenity's cancel
  EXPECT_EQ(GetFilePathFromUser(2, "m", "b", 1, "/x/", path), 0);
  EXPECT_EQ(path, "/kept/");

  answer("/ignored\n", 5);  // any other failure
  EXPECT_EQ(GetFilePathFromUser(0, "m", "b", 1, "/x/", path), 0);
  EXPECT_EQ(path, "/kept/");

  remove((folder_ + "args").c_str());
  EXPECT_EQ(GetFilePathFromUser(3, "m", "b", 1, "/x/", path), 0);
  EXPECT_EQ(read_file(folder_ + "args"), "") << "nothing runs for an unknown mode";

  setenv("PATH", (folder_ + "empty").c_str(), 1);  // no zenity at all
  EXPECT_EQ(GetFilePathFromUser(2, "m", "b", 1, "/x/", path), 0);
  EXPECT_EQ(path, "/kept/");
}

TEST_F(Dialogs, TextsReachZenityAsTheyAreNeverThroughAShell) {
  answer("/a\n", 0);
  std::string path;
  const std::string message = "Pick; touch '" + folder_ + "pwned' $(touch " + folder_ + "pwned2)";
  EXPECT_EQ(GetFilePathFromUser(2, message.c_str(), "Go", 1, nullptr, path), 1);
  EXPECT_EQ(args().at(2), "--title=" + message + " - Go");
  struct stat st;
  EXPECT_NE(stat((folder_ + "pwned").c_str(), &st), 0);
  EXPECT_NE(stat((folder_ + "pwned2").c_str(), &st), 0);
}

// [SECTION] The progress window

// The progress window stays for the run and only the run's end closes
// zenity's input, so each case runs in a fresh process that ends by exiting.
TEST_F(Dialogs, ProgressFeedsOneZenityTheTextAndPercentages) {
  auto show_all = [] {
    struct {
      const char* text;
      float fraction;  // NAN: no figure
    } calls[] = {{"Reading the list", NAN},    {"Copying\nfiles", 0.0f}, {"Copying files", 0.25f},
                 {"Copying\r\nfiles", 0.999f}, {"Done", 1.0f},           {"Past done", 7.5f},
                 {"Far past done", 1e10f}};
    for (auto& c : calls) {
      float f = c.fraction;
      ShowProgressMessage(c.text, std::isnan(f) ? nullptr : &f);
    }
    exit(0);
  };
  EXPECT_EXIT(show_all(), ::testing::ExitedWithCode(0), "");
  ASSERT_TRUE(progress_ended());
  EXPECT_EQ(args(), (std::vector<std::string>{"--progress", "--title=Nimbrel", "--no-cancel"}));
  EXPECT_EQ(lines_of("runs").size(), 1u) << "every call updates the one window";
  EXPECT_EQ(lines_of("stdin"),
            (std::vector<std::string>{"# Reading the list", "# Copying files", "0",
                                      "# Copying files", "25", "# Copying  files", "99", "# Done",
                                      "100", "# Past done", "100", "# Far past done", "100"}));
}

TEST_F(Dialogs, ProgressWithoutAFigureStillMovesTheBar) {
  EXPECT_EXIT(
      {
        float busy = -1.0f;
        for (int i = 0; i < 25; ++i) ShowProgressMessage("Working", &busy);
        exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  ASSERT_TRUE(progress_ended());
  std::vector<std::string> got = lines_of("stdin");
  ASSERT_EQ(got.size(), 50u);
  std::vector<int> figures;
  for (size_t i = 0; i < got.size(); i += 2) {
    EXPECT_EQ(got[i], "# Working");
    figures.push_back(std::stoi(got[i + 1]));
  }
  for (size_t i = 0; i < figures.size(); ++i) {
    // 100 would tell zenity the work is done.
    EXPECT_GE(figures[i], 0);
    EXPECT_LT(figures[i], 100);
    if (i > 0) {
      EXPECT_NE(figures[i], figures[i - 1]) << "call " << i << " left the bar still";
    }
  }
}

// Once zenity has ended, whether it never started or the user closed its
// window, later calls neither end the program by a broken pipe nor start
// another window, and the ended zenity is reaped.
TEST_F(Dialogs, ProgressOutlivesItsWindow) {
  struct {
    const char* what;
    bool missing;
  } cases[] = {{"closed by the user", false}, {"zenity missing", true}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    write_file(folder_ + "lines", "2");
    remove((folder_ + "runs").c_str());
    if (c.missing) setenv("PATH", (folder_ + "empty").c_str(), 1);
    EXPECT_EXIT(
        {
          float half = 0.5f;
          ShowProgressMessage("First", &half);
          for (int i = 0; i < 200 && ended_child() == 0; ++i) usleep(50000);
          // A zenity that fails at once may already be reaped by the first call.
          if (ended_child() == 0) exit(2);  // zenity never ended
          for (int i = 0; i < 5; ++i) ShowProgressMessage("Later", &half);
          exit(ended_child() == -1 ? 0 : 3);  // 3: an ended zenity left unreaped
        },
        ::testing::ExitedWithCode(0), "");
    if (!c.missing) {
      EXPECT_EQ(lines_of("stdin"), (std::vector<std::string>{"# First", "50"}));
      EXPECT_EQ(lines_of("runs").size(), 1u);
    }
    setenv("PATH", (folder_ + ":" + old_path_).c_str(), 1);
  }
}

// The reset closes the window still open and reaps its zenity; the next call
// opens a new window instead of writing to the closed one.
TEST_F(Dialogs, ProgressResetClosesTheWindowAndTheNextCallOpensANewOne) {
  EXPECT_EXIT(
      {
        float half = 0.5f;
        ShowProgressMessage("First", &half);
        for (int i = 0; i < 200 && lines_of("runs").empty(); ++i) usleep(50000);
        g_progress.reset();
        if (ended_child() != -1) exit(2);  // zenity left running or unreaped
        // Only the second window's end counts below.
        remove((folder_ + "ended").c_str());
        ShowProgressMessage("Second", &half);
        exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  ASSERT_TRUE(progress_ended());
  EXPECT_EQ(lines_of("runs").size(), 2u);
}

// [SECTION] The chooser and our window

// The chooser opened from inside the frame loop: our window keeps taking its
// events while the chooser is open, keeping back only the releases.
TEST_F(Dialogs, WhileTheChooserIsOpenTheWindowTakesItsEvents) {
  const char* error = "";
  ASSERT_TRUE(testing_support::open_shell_window(320, 240, &error)) << error;
  SDL_Event e;
  SDL_zero(e);
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_QUIT}) {
    e.type = type;
    SDL_PushEvent(&e);
  }
  answer("/chosen\n", 0);
  std::string path;
  EXPECT_EQ(GetFilePathFromUser(2, "m", "b", 1, nullptr, path), 1);
  EXPECT_EQ(path, "/chosen");
  EXPECT_EQ(close_requested, 1) << "a close request is kept for the frame loop";
  std::vector<Uint32> left;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1)
    if (e.type != SDL_WINDOWEVENT) left.push_back(e.type);
  EXPECT_EQ(left, (std::vector<Uint32>{SDL_KEYUP, SDL_MOUSEBUTTONUP}))
      << "presses meant for the window behind the chooser are dropped";
  EXPECT_EQ(args().size(), 3u) << "off screen there is no window to attach to";
  testing_support::close_shell_window();
}

// On a real X display the chooser stands over our window as its modal child.
TEST_F(Dialogs, OnXTheChooserIsAttachedToTheWindow) {
  if (!testing_support::on_path("Xvfb") || !testing_support::on_path("xwininfo"))
    GTEST_SKIP() << "needs Xvfb and xwininfo";
  testing_support::XvfbDisplay x;
  ASSERT_EQ(x.start("800x600x24"), "");
  setenv("DISPLAY", x.name().c_str(), 1);
  setenv("SDL_VIDEODRIVER", "x11", 1);
  const char* error = "";
  ASSERT_TRUE(testing_support::open_shell_window(320, 240, &error)) << error;
  answer("/chosen\n", 0);
  std::string path;
  EXPECT_EQ(GetFilePathFromUser(2, "m", "b", 1, nullptr, path), 1);
  const std::vector<std::string> got = args();
  EXPECT_NE(std::find(got.begin(), got.end(), "--modal"), got.end());
  std::string window;
  for (const std::string& a : got)
    if (a.rfind("--attach=", 0) == 0) window = a.substr(9);
  ASSERT_FALSE(window.empty());
  EXPECT_NE(x.run("xwininfo -id " + window).find("\"Nimbrel\""), std::string::npos)
      << "the id names our window";
  testing_support::close_shell_window();
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  unsetenv("DISPLAY");
}

// [SECTION] Box texts and byte order

// Lines of a box text, split at its line feeds.
std::vector<std::string> box_lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  return lines;
}

size_t utf8_chars(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

TEST(BoxText, WrapsAtEightyCharactersAndCutsAtTheLimit) {
  const std::string startup =
      "I could not set up the graphics for Nimbrel! I hope your monitor is at 1024x768 or higher! "
      "It must be! You do not meet the system requirements or you do not have OpenGL drivers or "
      "you entered a bad resolution in Nimbrel!";
  struct Case {
    std::string text;
    size_t limit;
    std::vector<std::string> lines;  // empty: only the width and the words are checked
  } cases[] = {
      {"short", 255, {"short"}},
      {"one\ntwo", 255, {"one", "two"}},
      {std::string(78, 'a') + " b", 255, {std::string(78, 'a') + " b"}},
      {std::string(80, 'a') + " b", 255, {std::string(80, 'a'), "b"}},
      {std::string(170, 'c'), 255, {std::string(80, 'c'), std::string(80, 'c'), "cccccccccc"}},
      {"x " + std::string(300, 'd'),
       255,
       {"x", std::string(80, 'd'), std::string(80, 'd'), std::string(80, 'd'),
        std::string(13, 'd')}},
      {startup, 499, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const std::vector<std::string> lines = box_lines(PLAT_box_text(c.text, c.limit));
    if (!c.lines.empty()) {
      EXPECT_EQ(lines, c.lines);
    }
    std::string words;
    for (const std::string& l : lines) {
      EXPECT_LE(utf8_chars(l), kBoxLineChars) << l;
      words += (words.empty() ? "" : " ") + l;
    }
    if (c.lines.empty()) {
      EXPECT_EQ(words, c.text) << "only blanks become line feeds";
    }
  }
  // Two-byte characters count once and are never split.
  std::string e_acute;
  for (int i = 0; i < 300; ++i) e_acute += "\xC3\xA9";
  const std::vector<std::string> lines = box_lines(PLAT_box_text(e_acute, 255));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].size(), 160u);
  EXPECT_EQ(lines[3].size(), 30u) << "255 characters in all";
}

TEST(ByteOrder, FlipsInPlace) {
  unsigned short s = 0x1234;
  EndianFlipShort(&s);
  EXPECT_EQ(s, 0x3412);
  unsigned int l = 0x12345678u;
  EXPECT_EQ(EndianFlipLong(&l), 0x78563412u);
  EXPECT_EQ(l, 0x78563412u);
}

}  // namespace
