// The path and file selectors drawn by the application in real frames, with
// a recording stand-in for zenity first on PATH: it writes each argument it
// got on a line of its own and answers as told. The char-buffer forms get
// buffers of exactly the size they are told, so the sanitizer build sees any
// write or read past them.
#include "widgets/selectors.h"

#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <stdlib.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/globals.h"
#include "platform/frame.h"
#include "platform/shell.h"
#include "tests/support/shell_input.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"
#include "widgets/opensave.h"

using testing_support::read_file;
using testing_support::write_file;

namespace {

constexpr float kX = 200, kY = 300, kWidth = 300;

std::function<int()> g_draw;
int g_result = 0;
void app_frame() { g_result = g_draw ? g_draw() : 0; }

class Selectors : public testing_support::TempFolderTest {
 protected:
  Selectors() : TempFolderTest("selectors") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    old_path_ = testing_support::stand_in_on_path(
        dir, "zenity",
        "#!/bin/sh\n"
        "d=$(dirname \"$0\")\n"
        "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$d/args\"\n"
        "cat \"$d/answer\" 2>/dev/null\n"
        "exit \"$(cat \"$d/status\" 2>/dev/null || echo 0)\"\n");
    g_draw = nullptr;
    g_app_hooks.update = app_frame;
    const char* error = "";
    ASSERT_TRUE(testing_support::open_shell_window(1024, 768, &error)) << error;
  }
  void TearDown() override {
    g_app_hooks.update = app_hooks{}.update;
    g_draw = nullptr;
    testing_support::close_shell_window();
    setenv("PATH", old_path_.c_str(), 1);
    TempFolderTest::TearDown();
  }

  void answer(const std::string& text, int status) {
    write_file(dir + "answer", text);
    write_file(dir + "status", std::to_string(status));
  }
  // A frame with a press and release on the folder icon; the selector's
  // result in that frame.
  static int press_icon() {
    testing_support::push_click(kX - 17, kY + 2);
    MACIBM_event_proc();
    return g_result;
  }
  // A frame in which End and then the text are typed into the field.
  static int type_at_end(const char* text) {
    testing_support::push_keystroke(SDL_SCANCODE_END);
    testing_support::push_text(text);
    MACIBM_event_proc();  // the keys are queued for the field
    MACIBM_event_proc();  // and edit it as it is drawn
    return g_result;
  }
  std::vector<std::string> args() {
    std::vector<std::string> out;
    std::string line;
    for (char c : read_file(dir + "args")) {
      if (c != '\n') {
        line += c;
        continue;
      }
      out.push_back(line);
      line.clear();
    }
    return out;
  }

  std::string old_path_;
};

TEST_F(Selectors, TheIconOpensTheFolderChooserAndOnlyAPickCounts) {
  struct {
    const char* what;
    const char* answer;
    int status;
    bool no_zenity;
    int result;
    const char* path;
  } cases[] = {
      {"picked", "/picked/with blanks/dir\n", 0, false, 1, "/picked/with blanks/dir"},
      {"cancelled", "", 1, false, 0, "/old/place/"},
      {"no zenity", "/never\n", 0, true, 0, "/old/place/"},
  };
  std::string path;
  g_draw = [&] {
    return BTN_select_path_stl(kX, kY, wind_browse_a, file_aircraft, &path, 100, "Folder", kWidth,
                               0);
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    path = "/old/place/";
    answer(c.answer, c.status);
    if (c.no_zenity) setenv("PATH", (dir + "empty").c_str(), 1);
    EXPECT_EQ(press_icon(), c.result);
    EXPECT_EQ(path, c.path);
    MACIBM_event_proc();
    EXPECT_EQ(g_result, 0) << "1 on the frame of the pick only";
    setenv("PATH", (dir + ":" + old_path_).c_str(), 1);
  }
  EXPECT_EQ(args(),
            (std::vector<std::string>{"--file-selection", "--directory",
                                      "--title=Please pick an Flyhouse to update - Update"}));
}

TEST_F(Selectors, TypingReplacesTheWholePathWithTheFieldsText) {
  struct {
    int kind;
    const char* path;
  } cases[] = {{file_aircraft, "Folder/q"}, {file_commands, "/x/y/Folder/q"}};
  for (const auto& c : cases) {
    std::string path = "/x/y/Folder/";
    g_draw = [&] {
      return BTN_select_path_stl(kX, kY, wind_browse_b, c.kind, &path, 100, "", kWidth, 1);
    };
    MACIBM_event_proc();  // the field takes the focus
    EXPECT_EQ(type_at_end("q"), 0) << "typing is no pick";
    EXPECT_EQ(path, c.path) << "kind " << c.kind;
    MACIBM_startwind(wind_main);  // the next field starts unfocused
  }
}

TEST_F(Selectors, APathBufferTakesWhatFitsAndACutPickIsACancel) {
  const int size = 12;
  std::unique_ptr<char[]> buffer(new char[size]);
  strcpy(buffer.get(), "/ab");
  int kind = file_commands;
  g_draw = [&] {
    return BTN_select_path_chr(kX, kY, wind_browse_a, kind, buffer.get(), size, "", kWidth, 1);
  };
  MACIBM_event_proc();
  EXPECT_EQ(type_at_end("cd"), 0);
  EXPECT_STREQ(buffer.get(), "/abcd") << "typed text reaches the buffer";
  EXPECT_EQ(type_at_end("efghijklmn"), 0);
  EXPECT_STREQ(buffer.get(), "/abcdefghij") << "as much as the buffer holds";

  kind = file_aircraft;
  answer("/a/bcdefghi\n", 0);  // 11 characters and the zero: fits
  EXPECT_EQ(press_icon(), 1);
  EXPECT_STREQ(buffer.get(), "/a/bcdefghi");
  answer("/z/yxwvutsrq\n", 0);  // one more: cut, it would name another folder
  EXPECT_EQ(press_icon(), 0);
  EXPECT_STREQ(buffer.get(), "/a/bcdefghi");
}

// A buffer larger than a path buffer still takes no more than one: a folder
// chosen deeper than that is no pick, and the typed text stops there.
TEST_F(Selectors, ALargeBufferTakesNoPathLongerThanAPathBuffer) {
  const int size = 1024;
  std::unique_ptr<char[]> buffer(new char[size]);
  strcpy(buffer.get(), "/kept");
  g_draw = [&] {
    return BTN_select_path_chr(kX, kY, wind_browse_a, file_commands, buffer.get(), size, "", kWidth,
                               1);
  };
  MACIBM_event_proc();
  struct {
    size_t length;
    int result;
  } cases[] = {{499, 1}, {500, 0}, {4000, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    strcpy(buffer.get(), "/kept");
    const std::string chosen = "/" + std::string(c.length - 1, 'p');
    answer(chosen + "\n", 0);
    EXPECT_EQ(press_icon(), c.result);
    EXPECT_STREQ(buffer.get(), c.result ? chosen.c_str() : "/kept");
  }
  // Full: what is typed now goes nowhere.
  strcpy(buffer.get(), ("/" + std::string(498, 'p')).c_str());
  EXPECT_EQ(type_at_end("qq"), 0);
  EXPECT_EQ(strlen(buffer.get()), 499u);
}

TEST_F(Selectors, AFileBufferTakesTheNameOfAPickThatFits) {
  const int size = 8;
  std::unique_ptr<char[]> name(new char[size]);
  strcpy(name.get(), "old.acf");
  std::string path = "/dir/old.acf";
  g_draw = [&] {
    return BTN_select_file_chr(kX, kY, wind_browse_a, file_aircraft, name.get(), &path, size, "",
                               kWidth);
  };
  MACIBM_event_proc();
  answer("/new/place/p.acf\n", 0);
  EXPECT_EQ(press_icon(), 1);
  EXPECT_EQ(path, "/new/place/p.acf");
  EXPECT_STREQ(name.get(), "p.acf");

  answer("/new/place/toolong.acf\n", 0);
  EXPECT_EQ(press_icon(), 0);
  EXPECT_EQ(path, "/new/place/p.acf");
  EXPECT_STREQ(name.get(), "p.acf");

  // With no path the field shows just the name; a typed name stays the
  // field's.
  path.clear();
  EXPECT_EQ(type_at_end("z"), 0);
  EXPECT_STREQ(name.get(), "p.acf");
  EXPECT_EQ(path, "");
  answer("/q/r\n", 0);
  EXPECT_EQ(press_icon(), 1);
  EXPECT_EQ(path, "/q/r");
  EXPECT_STREQ(name.get(), "r");
}

TEST_F(Selectors, BadWindowOrKindEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string path;
  char name[8] = "";
  EXPECT_EXIT(BTN_select_path_stl(kX, kY, wind_alert, file_any, &path, 10, "", kWidth, 0),
              testing::ExitedWithCode(1), "Bad open_save arg to BTN_select_path_stl!");
  EXPECT_EXIT(BTN_select_path_chr(kX, kY, wind_browse_a, -1, name, 8, "", kWidth, 0),
              testing::ExitedWithCode(1), "Bad file_type arg to BTN_select_path_chr!");
  EXPECT_EXIT(BTN_select_file_chr(kX, kY, wind_main, file_any, name, &path, 8, "", kWidth),
              testing::ExitedWithCode(1), "Bad open_save arg to BTN_select_file_chr!");
}

}  // namespace
