// The start of the run: the destination folder from the defaults, "-path",
// the preferences and the folder dialog (a recording zenity stands in), and
// the installer's path helpers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "core/cmdline.h"
#include "core/globals.h"
#include "installer/start.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::make_temp_dir;
using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

class Start : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = make_temp_dir("start");
    run_command("mkdir -p '" + folder_ + "home' '" + folder_ + "config' '" + folder_ + "bin'");
    setenv("HOME", (folder_ + "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (folder_ + "config").c_str(), 1);
    old_path_ = testing_support::stand_in_on_path(
        folder_ + "bin", "zenity",
        "#!/bin/sh\n"
        "echo called >> \"$(dirname \"$0\")/calls\"\n"
        "cat \"$(dirname \"$0\")/answer\" 2>/dev/null\n"
        "exit \"$(cat \"$(dirname \"$0\")/status\" 2>/dev/null || echo 0)\"\n");
    xer.open(folder_ + "Log.txt");
  }
  void TearDown() override {
    xer.close();
    setenv("PATH", old_path_.c_str(), 1);
    run_command("rm -rf '" + folder_ + "'");
  }
  void answer(const std::string& path, int status) {
    write_file(folder_ + "bin/answer", path + "\n");
    write_file(folder_ + "bin/status", std::to_string(status));
  }
  int dialog_calls() {
    std::string calls = read_file(folder_ + "bin/calls");
    return static_cast<int>(calls.size() / 7);
  }
  void start(std::initializer_list<const char*> args) {
    std::vector<const char*> argv = {"nimbrel_installer"};
    argv.insert(argv.end(), args.begin(), args.end());
    cmdline.clear();
    cmdline.init_unix(static_cast<int>(argv.size()), argv.data());
    APP_start_run(static_cast<int>(argv.size()), argv.data());
  }
  void make_folders(const std::string& base, std::initializer_list<const char*> names) {
    for (const char* n : names) run_command("mkdir -p '" + base + n + "'");
  }
  std::string folder_, old_path_;
};

TEST_F(Start, DestinationFromDefaultsPathOptionAndPreferences) {
  struct {
    std::initializer_list<const char*> args;
    std::string want;  // "~" stands for the home folder
    int dialogs;
  } cases[] = {
      {{}, "~/Nimbrel/", 0},
      {{"-path", "/x/Sim"}, "/x/Sim/", 0},  // the "/" is added
      {{"-path", "/x/Sim/"}, "/x/Sim/", 0},
      {{"-path", "/x/Sim", "--pref:_always_ask_dir=1"}, "/x/Sim/", 0},  // no dialog with -path
      {{"-path"}, "~/Nimbrel/", 0},                                     // ignored alone
      {{"-path", ""}, "~/Nimbrel/", 0},  // an empty folder is no folder, never the root
      {{"-path", "", "--pref:_always_ask_dir=1"}, "/picked/Nimbrel/", 1},
      {{"--pref:_dest_dir_path="}, "~/Nimbrel/", 0},
      {{"--pref:_dest_dir_path=/y/Sim"}, "/y/Sim/", 0},
      {{"--pref:_always_ask_dir=1", "-path"}, "/picked/Nimbrel/", 1},  // not first: no -path
      {{"--pref:_always_ask_dir=1"}, "/picked/Nimbrel/", 1},
  };
  const std::string home = folder_ + "home/";
  int calls = 0;
  answer("/picked", 0);
  for (auto& c : cases) {
    start(c.args);
    std::string want = c.want[0] == '~' ? home + c.want.substr(2) : c.want;
    EXPECT_EQ(dest_dir_path, want);
    calls += c.dialogs;
    EXPECT_EQ(dialog_calls(), calls);
  }
  EXPECT_EQ(stg.download_os, 3);
  EXPECT_EQ(stg.server_count, -1);
  EXPECT_EQ(stg.rename_folder, 1);
  EXPECT_EQ(stg.file_action, 3);
  EXPECT_EQ(install_name, "Not Yet Scanned");
}

TEST_F(Start, LogsTheSystemFoldersAndTheDestination) {
  start({});
  xer.flush();
  std::string log = read_file(folder_ + "Log.txt");
  for (const char* label :
       {"os_dir_this_app\t\t=/", "\nos_dir_desktop\t\t=/", "\nos_dir_default_apps\t=/",
        "\nos_dir_temp\t\t\t=/", "\nos_dir_prefs\t\t\t="})
    EXPECT_NE(log.find(label), std::string::npos) << label;
  EXPECT_NE(log.find("os_dir_prefs\t\t\t=" + folder_ + "config/\n\ndest_dir_path=" + folder_ +
                     "home/Nimbrel/\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("After searching, I think that dvd_path=\n"), std::string::npos);
  EXPECT_EQ(temp_path.back(), '/');
}

TEST_F(Start, PickedFolderGetsAProductFolderUnlessItHoldsAnInstallation) {
  const std::string sims = folder_ + "My Sims";
  const std::string old = folder_ + "Old Sim";
  make_folders(old + "/", {"Old Resources", "Airfoils", "Instructions", "Output backup"});
  const std::string partial = folder_ + "Partial";
  make_folders(partial + "/", {"Resources", "Airfoils", "Instructions"});
  write_file(partial + "/Output", "a file, not a folder");
  run_command("mkdir -p '" + sims + "'");
  struct {
    std::string chosen;
    std::string want;
  } cases[] = {
      {sims, sims + "/Nimbrel/"},
      {old, old + "/"},
      {partial, partial + "/Nimbrel/"},
      {"/", "/Nimbrel/"},
  };
  for (auto& c : cases) {
    answer(c.chosen, 0);
    dest_dir_path = "/before/";
    EXPECT_EQ(pick_dest_path(), 1);
    EXPECT_EQ(dest_dir_path, c.want);
  }
  answer("", 1);
  dest_dir_path = "/before/";
  EXPECT_EQ(pick_dest_path(), 0);
  EXPECT_EQ(dest_dir_path, "/before/");
}

TEST_F(Start, ADestinationIsAbsoluteAndNeverTheRootAndStreamsAreAtMostFour) {
  const std::string fallback = folder_ + "home/Nimbrel/";
  struct {
    std::initializer_list<const char*> args;
    std::string want;
  } cases[] = {
      {{"-path", "relative/Sim"}, fallback},
      {{"-path", "/"}, fallback},
      {{"-path", "//"}, fallback},
      {{"--pref:_dest_dir_path=/"}, fallback},
      {{"--pref:_dest_dir_path=rel"}, fallback},
      {{"--pref:_dest_dir_path=/x/y"}, "/x/y/"},
      {{"-path", "/", "--pref:_dest_dir_path=/p/"}, "/p/"},  // the preference stays
  };
  for (auto& c : cases) {
    start(c.args);
    EXPECT_EQ(dest_dir_path, c.want) << *c.args.begin();
  }
  for (auto [text, count] : {std::pair<const char*, int>{"--pref:_stream_count=9", 4},
                             {"--pref:_stream_count=-2", 0},
                             {"--pref:_stream_count=3", 3}}) {
    start({text});
    EXPECT_EQ(stg.stream_count, count) << text;
  }
}

TEST(TrimDestFolder, DropsThePlatformFolder) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {{"All/Resources/x.txt", "Resources/x.txt"},
               {"Linux/", ""},
               {"nofolder", "nofolder"},
               {"/abs", "abs"},
               {"", ""}};
  for (auto& c : cases) {
    std::string s = c.in;
    trim_dest_folder(s);
    EXPECT_EQ(s, c.out) << c.in;
  }
}

}  // namespace
