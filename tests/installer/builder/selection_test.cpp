// The builder's rules in one process: which files each set type takes, the
// world regions of tile names, platform codes, and whole disc and regional
// sets (the builder program itself only makes internet sets).
//
// Contents
//   [SECTION] Disc and regional sets
//   [SECTION] The status lines
#include <gtest/gtest.h>
#include <SDL2/SDL.h>
#include <sys/resource.h>

#include <csignal>

#include <string>

#include "core/cmdline.h"
#include "core/constants.h"
#include "core/globals.h"
#include "installer/builder/builder.h"
#include "platform/folders.h"
#include "platform/startup.h"
#include "tests/installer/builder/builder_fixture.h"
#include "tests/support/shell_input.h"

namespace builder_tests {
namespace {

class Selection : public testing_support::TempFolderTest {
 protected:
  Selection() : TempFolderTest("selection", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    // Alerts become log lines, and a fatal one ends the process at once.
    const char* argv[] = {"prog", "--fps_test"};
    cmdline.init_unix(2, argv);
    // House rules judge the path below the master, wherever the master lies.
    master = dir + "work. copy/";
    builder_reset();
    builder_set_locations(master, dir + "old.txt", dir + "out/");
  }
  void TearDown() override {
    PLAT_remove_temp_folder();
    TempFolderTest::TearDown();
  }

  // A master made by the tests' script, with scenery for every set type.
  void make_master() {
    ASSERT_EQ(run_command("python3 " + shq(source_file("tests/installer/builder/make_master.py")) +
                          " " + shq(master)),
              "");
    const char* const scenery[] = {
        "All/Resources/bitmaps/Zudad Izuvi Darurezi/moon.png",
        "All/Custom Scenery/-global terrain-/+10-060.dsf",   // 1
        "All/Custom Scenery/-global terrain-/+50-120.dsf",   // 3
        "All/Custom Scenery/-global overlays-/+00+010.dsf",  // 4
        "All/Custom Scenery/-global overlays-/library.txt",  // 4
        "All/Custom Scenery/-global overlays-/+45+010.dsf",  // 5
        "All/Custom Scenery/-global overlays-/+20+080.dsf",  // 6
        "All/Custom Scenery/-global overlays-/+30+150.dsf",  // 7
        "All/Custom Scenery/DSF 900 Mars World-Wide/+10-050.dsf",
    };
    for (const char* path : scenery) {
      run_command("mkdir -p " + shq(master + path) + " && rmdir " + shq(master + path));
      write_file(master + path, path);
    }
  }

  // The manifest in a set's archive, as Info-ZIP unpacks it.
  static std::string manifest_in(const std::string& set_folder) {
    return run_command("unzip -p " + shq(set_folder + "directory.txt.zip") + " directory.txt");
  }

  std::string master;
};

TEST_F(Selection, EachSetTypeTakesItsFiles) {
  const std::string terrain = "All/Custom Scenery/-global terrain-/";
  const struct {
    std::string path;
    int type, region;
    bool good;
  } cases[] = {
      {"All/Resources/a.txt", install_net, 0, true},
      {"All/Resources/a.txt", install_disc, 0, true},
      {"All/Resources/a.txt", install_earth, 2, false},
      {"All/Resources/Thumbs.db", install_disc, 0, false},
      {"All/Resources/x.bak", install_net, 0, false},
      {"All/Resources/a.dsf.txt", install_net, 0, false},
      {"Linux/serverlist.txt", install_net, 0, false},
      {"All/install_pfc Aircraft/a.acf", install_disc, 0, false},
      {"All/Resources/default scenery/900 red terrain/+40-120.dsf", install_net, 0, false},
      {"All/Resources/default scenery/900 red terrain/+40-120.dsf", install_disc, 0, true},
      {"All/Resources/bitmaps/Zudad Izuvi Darurezi/a.png", install_net, 0, false},
      {"All/Resources/bitmaps/Zudad Izuvi Darurezi/a.png", install_disc, 0, true},
      {terrain + "+40-120.dsf", install_net, 0, false},
      {terrain + "+40-120.dsf", install_disc, 0, false},
      {terrain + "+40-120.dsf", install_earth, 2, true},
      {terrain + "+40-120.dsf", install_earth, 3, false},
      {"All/Custom Scenery/-global overlays-/+50-120.dsf", install_earth, 3, true},
      {"All/Custom Scenery/DSF 900 Mars World-Wide/+10-050.dsf", install_mars, 8, true},
      {"All/Custom Scenery/DSF 900 Mars World-Wide/+10-050.dsf", install_mars, 9, false},
      {"All/Custom Scenery/DSF 900 Mars World-Wide/+10+050.dsf", install_mars, 9, true},
      {"All/Custom Scenery/DSF 900 Moon World-Wide/+10+050.dsf", install_moon, 10, true},
      {"All/Custom Scenery/DSF 900 Moon World-Wide/+10+050.dsf", install_earth, 6, false},
  };
  for (const auto& c : cases) {
    install_type = c.type;
    reg = c.region;
    EXPECT_EQ(is_good_file(master + c.path, 0, 0), c.good) << c.path << " type " << c.type;
  }
}

TEST_F(Selection, TileNamesGiveTheirWorldRegion) {
  const struct {
    const char* name;
    int region;
  } cases[] = {
      {"+40-120.dsf", 2}, {"+50-120.dsf", 3}, {"+30+160.dsf", 2}, {"+30+150.dsf", 7},
      {"+20-020.dsf", 1}, {"+21-020.dsf", 2}, {"+49-020.dsf", 3}, {"+24+000.dsf", 4},
      {"+25+000.dsf", 5}, {"+00+058.dsf", 4}, {"+00+059.dsf", 6}, {"+00+103.dsf", 7},
      {"+00+155.dsf", 1}, {"+49+140.dsf", 3}, {"+49+139.dsf", 7}, {"library.txt", 4},
  };
  for (const auto& c : cases) {
    for (int region = 0; region <= 7; ++region)
      EXPECT_EQ(want_reg(region, "x/" + std::string(c.name)), region == c.region && region != 0)
          << c.name << " in " << region;
  }
  EXPECT_TRUE(want_reg(8, "a/-10-001.dsf"));
  EXPECT_TRUE(want_reg(9, "a/-10+000.dsf"));
  EXPECT_TRUE(want_reg(10, "a/+00+000.dsf/"));
}

using SelectionDeathTest = Selection;

TEST_F(SelectionDeathTest, TileNamesOutOfRangeOrTooShortStopTheBuild) {
  const struct {
    const char* name;
    const char* logged;
  } cases[] = {{"+95+000.dsf", "Out of range lat!"},
               {"+00-181.dsf", "Out of range lon!"},
               {"a.dsf", "This scenery file has no tile name to tell its region by!"}};
  for (const auto& c : cases) {
    EXPECT_EXIT(want_reg(2, std::string("s/") + c.name), ::testing::ExitedWithCode(1), "");
    EXPECT_NE(log().find(c.logged), std::string::npos) << c.name;
  }
}

TEST_F(Selection, PlatformCodesFromTheFolderAndThePlugInManager) {
  const std::string plugins = "All/Resources/plugins/";
  const struct {
    std::string folder, name;
    int platform;
  } cases[] = {
      {"All/Resources/", "a.txt", 0},
      {plugins, "PluginAdminLin.vyk", 6},
      {plugins, "PluginAdminWin.vyk", 2},
      {plugins, "PluginAdminMac.vyk", 1},
      {plugins, "NBWidgets.so", 6},
      {plugins, "VYKO.dll", 2},
      {plugins + "NBWidgets.framework/", "NBWidgets", 1},
      {plugins, "VYKO.shlb", 1},
      {plugins, "other.so", 0},
      {"Macintosh/", "a", 1},
      {"Windows/x/", "a", 2},
      {"Linux/", "a", 3},
      {"", "top.txt", -1},
      {"Allx/", "a", -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform_of(c.folder, master + c.folder + c.name), c.platform) << c.folder << c.name;
}

// Sizes from 16 GiB up are past a float's whole numbers: the kilobytes are
// reckoned, written and read back exactly.
TEST_F(Selection, SizesPastAFloatsWholeNumbersStayExact) {
  const struct {
    uint64_t bytes;
    int64_t kb;
  } sizes[] = {{999, 0},
               {1000, 1},
               {16777216999, 16777216},
               {16777217000, 16777217},
               {16777217999, 16777217},
               {5000000000123999, 5000000000123}};
  for (const auto& s : sizes) EXPECT_EQ(kb_of(s.bytes), s.kb) << s.bytes;

  file_version_struct r;
  r.version = kVersionNumber;
  r.zip_size = kb_of(16777217999);
  r.ext_size = kb_of(5000000000123999);
  r.sig_want = std::string(32, 'a');
  r.path = "All/Resources/big.bin";
  const std::string line = manifest_file_line(r);
  EXPECT_EQ(line, "FILE 0 0 90017 16777217 5000000000123 " + r.sig_want + " big.bin");
  const std::string text = "I\n900 version\nINSTALLER\n\nDIR All/Resources/\n" + line + "\n";
  std::vector<file_history_struct> histories;
  std::string problem;
  int version = 0;
  ASSERT_EQ(scan_manifest(text.data(), text.data() + text.size(), manifest_scan_options(),
                          histories, &problem, &version),
            dir_read)
      << problem;
  ASSERT_EQ(histories.size(), 1u);
  EXPECT_EQ(histories[0][0].zip_size, 16777217);
  EXPECT_EQ(histories[0][0].ext_size, 5000000000123);
}

// [SECTION] Disc and regional sets

TEST_F(Selection, DiscAndRegionalSetsInOneProcess) {
  ASSERT_NO_FATAL_FAILURE(make_master());
  run_command("mkdir -p " + shq(dir + "out"));

  install_type = install_disc;
  build_install();
  expect_installer_takes_every_file(dir + "out/" + build_name[0] + "/");
  const std::string disc = manifest_in(dir + "out/" + build_name[0] + "/");
  // Red terrain and orbit textures go on the disc, regional scenery does
  // not; every line is of this set's type, with no history and no GONE.
  EXPECT_NE(disc.find("\nDIR All/Resources/default scenery/900 red terrain/\nFILE 1 0 90017 0 0 "),
            std::string::npos)
      << disc;
  EXPECT_NE(disc.find("DIR All/Resources/bitmaps/Zudad Izuvi Darurezi/\n"), std::string::npos);
  EXPECT_EQ(disc.find("global"), std::string::npos);
  EXPECT_EQ(disc.find("FILE 0 "), std::string::npos);
  EXPECT_EQ(disc.find("GONE"), std::string::npos);
  EXPECT_NE(log().find("OK compression is done. Checklist if doing net:"), std::string::npos);

  builder_set_locations(master, "", dir + "regions/");
  run_command("mkdir -p " + shq(dir + "regions"));
  install_type = install_earth;
  build_install();
  const struct {
    const char* set;
    const char* tile;
  } tiles[] = {{"South America", "+10-060.dsf"}, {"USA", "+40-120.dsf"},
               {"Canada", "+50-120.dsf"},        {"Africa", "library.txt"},
               {"Europe", "+45+010.dsf"},        {"Asia", "+20+080.dsf"},
               {"Australia", "+30+150.dsf"}};
  for (const auto& t : tiles) {
    expect_installer_takes_every_file(dir + "regions/" + t.set + "/");
    const std::string text = manifest_in(dir + "regions/" + t.set + "/");
    EXPECT_NE(text.find(std::string(" ") + t.tile + "\n"), std::string::npos) << t.set << text;
    EXPECT_EQ(text.find("Resources"), std::string::npos) << t.set;
    EXPECT_NE(text.find("FILE 2 0 90017 "), std::string::npos) << t.set;
  }
  // Each set writes the version file beside the sets: the last one stays.
  EXPECT_EQ(read_file(dir + "regions/dvd_version.txt"),
            "I\n900 version\nDVD\n\nVERSION Australia\n");
}

TEST_F(SelectionDeathTest, AnUnknownSetTypeOrASetWithoutFilesIsRefused) {
  ASSERT_NO_FATAL_FAILURE(make_master());
  run_command("mkdir -p " + shq(dir + "out"));
  install_type = 7;
  EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(log().find("I can not tell what type of install this is!\ninstall_type 7 is none"),
            std::string::npos);
  install_type = install_moon;
  EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(log().find("This set selects no file at all!\nMoon\n"), std::string::npos) << log();
}

// A disk that fills up while an archive is written: the build stops naming
// the file, and the set holds no part of that archive and no manifest.
TEST_F(SelectionDeathTest, AnArchiveThatCannotBeWrittenWholeStopsTheBuild) {
  ASSERT_NO_FATAL_FAILURE(make_master());
  run_command("mkdir -p " + shq(dir + "out"));
  install_type = install_disc;
  EXPECT_EXIT(
      {
        // Writes past the limit fail as on a full disk, without a signal.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = 150000;
        setrlimit(RLIMIT_FSIZE, &limit);
        build_install();
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_NE(log().find("I could not zip a file!\n"), std::string::npos) << log();
  EXPECT_NE(log().find(master + "All/Resources/big.bin\n"), std::string::npos) << log();
  const std::string set = dir + "out/" + build_name[0] + "/";
  EXPECT_EQ(run_command("find " + shq(set) +
                        " -name '.*' -o -name '*big.bin*' -o -name "
                        "directory.txt.zip"),
            "");
  // The files before it in the walk were packed whole.
  int status = -1;
  run_command("unzip -tq " + shq(set + "All/Aircraft/Trainer/Trainer.acf.zip"), &status);
  EXPECT_EQ(status, 0);
}

// [SECTION] The status lines

TEST_F(SelectionDeathTest, OnlyQAtTheStatusLinesEndsTheRun) {
  // The death test's child is a fork: Mesa must draw on this thread alone.
  setenv("LP_NUM_THREADS", "0", 1);
  const char* error = "";
  ASSERT_TRUE(testing_support::open_shell_window(1024, 768, &error)) << error;
  ogl_inited = 1;
  // The status lines take one event a call: the window's own go first.
  auto press = [](SDL_Scancode key) {
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    testing_support::push_key(SDL_KEYDOWN, key);
  };
  press(SDL_SCANCODE_X);
  builder_status("reg: 0: total files to compress: 40. now doing: 20.", "a.zip");
  EXPECT_EQ(log().find("You hit Q dumbass!"), std::string::npos);
  EXPECT_EXIT(
      {
        press(SDL_SCANCODE_Q);
        builder_status("reg: 0: total files to compress: 40. now doing: 40.", "b.zip");
      },
      ::testing::ExitedWithCode(1), "");
  EXPECT_NE(log().find("You hit Q dumbass!\n\n\n\n(Installer-f/make_installer line 173)"),
            std::string::npos)
      << log();
  ogl_inited = 0;
  testing_support::close_shell_window();
}

}  // namespace
}  // namespace builder_tests
