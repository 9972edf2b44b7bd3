// The standard folders on a temporary tree (twice, and where folders cannot
// be made), the framework entries moved aside, the destination's form, and
// the test that keeps writes inside the destination.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/globals.h"
#include "installer/update/folders.h"
#include "installer/update/install.h"
#include "installer/update/manifest.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::run_command;
using testing_support::write_file;

namespace {

class Folders : public testing_support::TempFolderTest {
 protected:
  Folders() : TempFolderTest("folders", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    stg.download_os = platform_linux;
  }
  void add(const std::string& path, const std::string& sig, int platform = 0) {
    file_version_struct r;
    r.path = path;
    r.sig_want = sig;
    r.platform = platform;
    in.sim_info.push_back({r});
  }
  static bool is_dir(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  // Every folder under the destination, sorted, one per line.
  std::string tree() {
    return run_command("cd '" + in.dest_dir_path + "' && find . -type d | sort");
  }
  int alerts() {
    std::string text = log();
    int n = 0;
    for (size_t at = 0; (at = text.find("I am unable to install", at)) != std::string::npos; ++at)
      ++n;
    return n;
  }
  // The install whose folders are made, reporting through the program's block.
  install_state in{stg};
};

TEST_F(Folders, MakesTheDestinationWantedAndFixedFoldersOnceAndQuietly) {
  in.dest_dir_path = dir + "deep/er/Nimbrel/";
  const std::string sig(32, 'a');
  add("All/Resources/plugins/a.txt", sig);
  add("Linux/Aircraft/Trainer/Trainer.acf", sig, 3);
  add("All/Gone/old.txt", "GONE");
  add("Windows/Win/prog.exe", sig, 2);
  make_dirs(in);
  const std::string want =
      ".\n./Aircraft\n./Aircraft/Trainer\n./Output\n./Output/FMS plans\n./Output/logbooks\n"
      "./Output/movies\n./Output/situations\n./Resources\n./Resources/plugins\n"
      "./Resources/preferences\n";
  EXPECT_EQ(tree(), want);
  make_dirs(in);
  EXPECT_EQ(tree(), want);
  EXPECT_EQ(alerts(), 0);
}

TEST_F(Folders, EachStepReportsItsFirstFailureAndTheFixedFoldersEachOne) {
  // A file where a folder should be: nothing below it can be made.
  write_file(dir + "blocked", "a file");
  in.dest_dir_path = dir + "blocked/x/Nimbrel/";
  add("All/Resources/a.txt", std::string(32, 'a'));
  add("All/Other/b.txt", std::string(32, 'a'));
  make_dirs(in);
  EXPECT_EQ(alerts(), 1 + 1 + 7);
  const std::string text = log();
  EXPECT_NE(text.find("Error: Not a directory\nInstall Location: " + in.dest_dir_path +
                      "\nInstall Path:" + dir + "blocked/x\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Install Path:" + dir + "blocked/x/Nimbrel\n"), std::string::npos);
  EXPECT_NE(text.find("Install Path:" + in.dest_dir_path + "Other\n"), std::string::npos);
  EXPECT_EQ(text.find("Install Path:" + in.dest_dir_path + "Resources\n"),
            text.rfind("Install Path:" + in.dest_dir_path + "Resources\n"))
      << "the wanted-file step stops at its first failure";
  EXPECT_NE(text.find("Install Path:" + in.dest_dir_path + "Resources/preferences\n"),
            std::string::npos);
}

TEST_F(Folders, FrameworkEntriesThatShouldBeLinksMakeWay) {
  in.dest_dir_path = dir + "Nimbrel/";
  const std::string vyko = in.dest_dir_path + "Resources/plugins/VYKO.framework/";
  const std::string widgets = in.dest_dir_path + "Resources/plugins/NBWidgets.framework/";
  run_command("mkdir -p '" + vyko + "Versions/Current' '" + vyko + "Resources' '" + widgets +
              "Versions/A' && ln -s A '" + widgets + "Versions/Current' && ln -s Versions/A/R '" +
              widgets + "Resources'");
  make_dirs(in);
  EXPECT_TRUE(is_dir(vyko + "Versions/_Current"));
  EXPECT_TRUE(is_dir(vyko + "_Resources"));
  char text[16] = {};
  EXPECT_EQ(readlink((widgets + "Versions/Current").c_str(), text, sizeof text), 1);  // a link
  EXPECT_FALSE(is_dir(widgets + "Versions/_Current"));
  EXPECT_FALSE(is_dir(widgets + "_Resources"));
  EXPECT_EQ(alerts(), 0);
}

TEST_F(Folders, TheDestinationIsAbsoluteEndsInASlashAndIsNeverTheRoot) {
  struct {
    std::string in, out;
    bool ok;
  } cases[] = {{"/a/b", "/a/b/", true}, {"/a/b/", "/a/b/", true}, {"", "", false},
               {"/", "/", false},       {"//", "//", false},      {"rel/x", "rel/x", false}};
  for (const auto& c : cases) {
    std::string p = c.in;
    EXPECT_EQ(usable_dest_dir(p), c.ok) << c.in;
    EXPECT_EQ(p, c.out) << c.in;
  }
}

TEST_F(Folders, LinksThatLeadOutOfTheDestinationAreSeen) {
  in.dest_dir_path = dir + "dest/";
  run_command("mkdir -p '" + in.dest_dir_path + "a/b' '" + dir +
              "outside' && ln -s ../../outside '" + in.dest_dir_path + "a/out' && ln -s b '" +
              in.dest_dir_path + "a/in'");
  struct {
    std::string path;
    int depth;
  } cases[] = {{"top.txt", 0},          {"a/file", 1},      {"a/b/file", 2},
               {"a/b/new/deeper/x", 2},  // the nearest folder that exists
               {"a/in/file", 2},        {"a/out/file", -1}, {"a/out/new/x", -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(depth_in_dest(in, in.dest_dir_path + c.path), c.depth) << c.path;
    EXPECT_EQ(inside_dest(in, in.dest_dir_path + c.path), c.depth >= 0) << c.path;
  }
  EXPECT_FALSE(inside_dest(in, dir + "elsewhere/x"));
  // A wanted file's folder behind such a link is not made.
  add("All/a/out/made/x", std::string(32, 'a'));
  make_dirs(in);
  EXPECT_FALSE(is_dir(dir + "outside/made"));
}

}  // namespace
