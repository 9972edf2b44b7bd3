// The desktop dialogs, with a recording stand-in for zenity first on PATH: it
// writes each argument it got on a line of its own and answers as told.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/dialogs/dialogs.h"
#include "tests/support/test_support.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::write_file;

namespace {

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = make_temp_dir("dialogs");
    write_file(folder_ + "zenity",
               "#!/bin/sh\n"
               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args\"\n"
               "cat \"$(dirname \"$0\")/answer\" 2>/dev/null\n"
               "exit \"$(cat \"$(dirname \"$0\")/status\" 2>/dev/null || echo 0)\"\n");
    chmod((folder_ + "zenity").c_str(), 0755);
    old_path_ = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (folder_ + ":" + old_path_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    testing_support::run_command("rm -rf '" + folder_ + "'");
  }
  void answer(const std::string& text, int status) {
    write_file(folder_ + "answer", text);
    write_file(folder_ + "status", std::to_string(status));
  }
  std::vector<std::string> args() {
    std::vector<std::string> out;
    std::string all = read_file(folder_ + "args"), line;
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
  std::string folder_, old_path_;
};

TEST_F(Dialogs, EachModeAsksZenityForItsKindOfChoice) {
  struct {
    int mode;
    const char* default_folder;
    const char* proposed;
    std::vector<std::string> want;
  } cases[] = {
      {0, "/data/In Here", "", {"--file-selection", "--title=Open it - Open", "--filename=/data/In Here/"}},
      {1, "/data/out/", "name.txt",
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

TEST(ByteOrder, FlipsInPlace) {
  unsigned short s = 0x1234;
  EndianFlipShort(&s);
  EXPECT_EQ(s, 0x3412);
  unsigned int l = 0x12345678u;
  EXPECT_EQ(EndianFlipLong(&l), 0x78563412u);
  EXPECT_EQ(l, 0x78563412u);
}

}  // namespace
