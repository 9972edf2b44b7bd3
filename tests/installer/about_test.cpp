// The about box's version check and update: what each server list offers,
// the check against nginx on loopback (over once a list has come whole,
// pausing after failures), and a newer installer fetched, unpacked only when
// it is the one expected file, and started before this program ends.
//
// Contents
//   [SECTION] Reading a list
//   [SECTION] The check
//   [SECTION] The update
//   [SECTION] The window
#include "platform/about.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "core/clock.h"
#include "core/globals.h"
#include "installer/ins_texes.h"
#include "net/http.h"
#include "platform/folders.h"
#include "platform/frame.h"
#include "platform/gl_hooks.h"
#include "platform/startup.h"
#include "tests/net/peers.h"
#include "tests/support/installer_window.h"
#include "tests/support/shell_input.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

// Loopback: 127.0.15.21 the web host; 127.0.15.22 takes no connection.
namespace {

const int kPort = 8016;

class About : public testing_support::TempFolderTest {
 protected:
  About() : TempFolderTest("about", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    // The private temporary folder, and the update's own folder, in here.
    run_command("mkdir -p '" + dir + "tmp'");
    const char* tmp = getenv("TMPDIR");
    old_tmpdir_ = tmp ? tmp : "";
    setenv("TMPDIR", (dir + "tmp").c_str(), 1);
    about_reset();
    web_host = "web.example";
    xtim.act_time = 50.0f;
  }
  void TearDown() override {
    about_reset();
    server_.reset();
    PLAT_remove_temp_folder();  // this test's, in its folder
    if (old_tmpdir_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", old_tmpdir_.c_str(), 1);
    TempFolderTest::TearDown();
  }

  about_record read(const std::string& body) {
    write_file(dir + "list.txt", body);
    about_record r;
    about_read_list(dir + "list.txt", r);
    return r;
  }

  std::string serve() {
    const std::string root = dir + "web/";
    run_command("mkdir -p '" + root + "www/inst'");
    server_ =
        std::make_unique<net_peers::Peer>(net_peers::nginx_argv(root, "127.0.15.21", "64k", kPort),
                                          "127.0.15.21", kPort, root + "nginx.out");
    EXPECT_TRUE(server_->ready()) << server_->failure();
    return root + "www/";
  }

  // An archive on the web host of the files in this test's folder, each
  // entry given as name=file.
  void zip(const std::string& www, const std::string& archive, const std::string& entries) {
    write_file(dir + "zip.py",
               "import zipfile, sys\n"
               "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
               "for a in sys.argv[2:]: z.writestr(a.split('=')[0], open(a.split('=')[1]).read())\n"
               "z.close()\n");
    int status = 0;
    const std::string out = run_command(
        "cd '" + dir + "' && python3 zip.py '" + www + "inst/" + archive + "' " + entries, &status);
    ASSERT_EQ(status, 0) << out;
  }

  template <typename Step, typename Done>
  bool poll(Step step, Done done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      step();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  std::unique_ptr<net_peers::Peer> server_;
  std::string old_tmpdir_;
};

const std::string kHeader = "I\n820 version\nSERVERS\n";

// [SECTION] Reading a list

TEST_F(About, EachListOffersWhatItHolds) {
  struct {
    const char* name;
    std::string body;
    int state;
    const char* message;
    int latest, beta;
  } cases[] = {
      {"this version", kHeader + "FINAL Nimbrel 9.00\nFINAL_VERSION 90017\n", ins_message,
       "Your version of Nimbrel is up to date.", 1, 0},
      {"no version number", kHeader + "FINAL Nimbrel 9.00\n", ins_message,
       "Can't connect to the net to find latest version.", 1, 0},
      {"a newer final", kHeader + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN web.example /i/n.zip\n",
       ins_offer, "", 0, 0},
      {"a newer final for another platform only",
       kHeader + "FINAL_VERSION 90020\nFINAL_INSTALLER_MAC web.example /i/n.zip\n", ins_message,
       "There is a new version of Nimbrel available! Visit web.example to download the update.", 0,
       0},
      {"a newer final from a host a request cannot carry",
       kHeader + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN bad\x01host /i/n.zip\n", ins_message,
       "There is a new version of Nimbrel available! Visit web.example to download the update.", 0,
       0},
      {"a newer final at a path that climbs out",
       kHeader + "FINAL_VERSION 90020\nFINAL_INSTALLER_LIN web.example /i/../../n.zip\n",
       ins_message,
       "There is a new version of Nimbrel available! Visit web.example to download the update.", 0,
       0},
      {"a newer beta without its installer",
       kHeader + "FINAL_VERSION 90010\nBETA_VERSION 90030\nBETA_INSTALLER_LIN\n", ins_message,
       "There is a newer beta of Nimbrel available! Visit web.example to download the update.", 0,
       1},
      {"a newer beta",
       kHeader + "FINAL_VERSION 90010\nBETA_VERSION +90030\nBETA_INSTALLER_LIN  "
                 "web.example:8080\t/b.zip  \n",
       ins_offer, "", 0, 1},
      {"the latest beta", kHeader + "FINAL_VERSION 90010\nBETA_VERSION 90017\n", ins_message,
       "You have the latest Nimbrel beta.", 1, 0},
      {"a list of a newer version", "I\n821 version\nSERVERS\nFINAL_VERSION 90020\n", ins_message,
       "Can't connect to the net to find latest version.", 1, 0},
      {"a captive portal's page", "<html>log in first</html>", ins_message,
       "Can't connect to the net to find latest version.", 1, 0},
  };
  for (const auto& c : cases) {
    const about_record r = read(c.body);
    EXPECT_EQ(r.ins_state, c.state) << c.name;
    EXPECT_EQ(r.err_msg, c.message) << c.name;
    EXPECT_EQ(r.is_latest, c.latest) << c.name;
    EXPECT_EQ(r.is_beta, c.beta) << c.name;
  }
  const about_record beta = read(cases[7].body);
  EXPECT_EQ(beta.installer_server, "web.example:8080");
  EXPECT_EQ(beta.installer_path, "/b.zip");
  const about_record named = read(kHeader + "BETA 9.10b1\nFINAL  Nimbrel 9.00  \n");
  EXPECT_EQ(named.version_str_found, 1);
  EXPECT_EQ(named.version_str_net, "Nimbrel 9.00");
}

// [SECTION] The check

// No blocking look-up every frame: after a failure the next attempt waits,
// and once a list has come whole nothing more is fetched. A captive portal's
// page is such a failure, not the end of the check.
TEST_F(About, TheCheckPausesAfterAFailureAndEndsWithAWholeList) {
  const std::string www = serve();
  web_host = "127.0.15.22:9";
  ASSERT_TRUE(poll(about_check_step, [] { return about_state().pause.failures() == 1; }));
  about_check_step();
  EXPECT_EQ(http.slots[kAboutListSlot], nullptr) << "no attempt before the pause is over";
  web_host = "127.0.15.21:" + std::to_string(kPort);
  write_file(www + "serverlist.txt", "<html>Log in to use this network</html>");
  xtim.act_time += 1.01f;
  ASSERT_TRUE(poll(about_check_step, [] { return about_state().pause.failures() == 2; }));
  EXPECT_FALSE(about_state().list_whole);
  EXPECT_EQ(about_state().err_msg, "Can't connect to the net to find latest version.");
  xtim.act_time += 1.01f;
  about_check_step();
  EXPECT_EQ(http.slots[kAboutListSlot], nullptr) << "the second pause is two seconds";
  write_file(www + "serverlist.txt", kHeader + "FINAL Nimbrel 9.00\nFINAL_VERSION 90017\n");
  xtim.act_time += 1.0f;
  ASSERT_TRUE(poll(about_check_step, [] { return about_state().list_whole; }));
  EXPECT_EQ(about_state().err_msg, "Your version of Nimbrel is up to date.");
  EXPECT_EQ(about_state().version_str_net, "Nimbrel 9.00");
  for (int frame = 0; frame < 10; ++frame) {
    about_check_step();
    EXPECT_EQ(http.slots[kAboutListSlot], nullptr) << "the check is over";
  }
}

// [SECTION] The update

TEST_F(About, ANewerInstallerIsFetchedUnpackedAndStartedBeforeThisOneEnds) {
  const std::string www = serve();
  const std::string marker = dir + "started";
  // The new installer: a script that leaves a mark of where it was started.
  write_file(dir + "nimbrel_installer", "#!/bin/sh\necho \"$0\" > '" + marker + "'\n");
  ASSERT_NO_FATAL_FAILURE(zip(www, "good.zip", "nimbrel_installer=nimbrel_installer"));
  ASSERT_NO_FATAL_FAILURE(zip(www, "two.zip", "nimbrel_installer=nimbrel_installer extra=zip.py"));

  about_record& r = about_state();
  for (const char* archive : {"/inst/two.zip", "/inst/none.zip"}) {
    r.installer_server = "127.0.15.21:" + std::to_string(kPort);
    r.installer_path = archive;
    r.ins_state = ins_downloading;
    ASSERT_TRUE(poll(about_update_step, [&] { return r.ins_state != ins_downloading; }));
    EXPECT_EQ(r.ins_state, ins_message) << archive;
  }
  EXPECT_EQ(read(kHeader).ins_state, ins_message);
  r.installer_path = "/inst/two.zip";
  r.ins_state = ins_downloading;
  ASSERT_TRUE(poll(about_update_step, [&] { return r.ins_state != ins_downloading; }));
  EXPECT_EQ(r.err_msg.rfind("There was an error unzipping the installer: ", 0), 0u) << r.err_msg;
  r.installer_path = "/inst/none.zip";
  r.ins_state = ins_downloading;
  ASSERT_TRUE(poll(about_update_step, [&] { return r.ins_state != ins_downloading; }));
  EXPECT_EQ(r.err_msg, "I was unable to download the installer from the net.");

  r.installer_path = "/inst/good.zip";
  r.ins_state = ins_downloading;
  ASSERT_TRUE(poll(about_update_step, [&] { return r.ins_state != ins_downloading; }));
  ASSERT_EQ(r.ins_state, ins_unpacked) << r.err_msg;
  EXPECT_EQ(r.installer_app_name.rfind(dir + "tmp/nimbrel-", 0), 0u) << r.installer_app_name;
  EXPECT_EQ(read_file(r.installer_app_name).substr(0, 9), "#!/bin/sh");

  // This program ends once the new one runs; the new one runs on from a
  // folder of its own, which this one's end does not remove.
  EXPECT_EXIT(about_update_step(), testing::ExitedWithCode(1), "");
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (read_file(marker).empty() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(read_file(marker).rfind(dir + "tmp/nimbrel-update-", 0), 0u) << read_file(marker);
  EXPECT_EQ(run_command("ls '" + dir + "tmp/' | grep -c '^nimbrel-update-'"), "1\n");
}

// A new installer that does not start leaves nothing: its own folder would
// outlive this program, and with it the copy.
TEST_F(About, ANewInstallerThatDoesNotStartLeavesNothingBehind) {
  const std::string www = serve();
  write_file(dir + "nimbrel_installer", "not a program, and no #! line\n");
  ASSERT_NO_FATAL_FAILURE(zip(www, "bad.zip", "nimbrel_installer=nimbrel_installer"));
  struct {
    const char* what;
    const char* tmpdir;  // for the installer's own folder, below this test's folder
    const char* error;
  } cases[] = {
      {"not a program", "tmp", "Exec format error"},
      {"no folder of its own", "missing", "No such file or directory"},
  };
  about_record& r = about_state();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    r.installer_server = "127.0.15.21:" + std::to_string(kPort);
    r.installer_path = "/inst/bad.zip";
    r.ins_state = ins_downloading;
    ASSERT_TRUE(poll(about_update_step, [&] { return r.ins_state != ins_downloading; }));
    ASSERT_EQ(r.ins_state, ins_unpacked) << r.err_msg;
    setenv("TMPDIR", (dir + c.tmpdir).c_str(), 1);
    about_update_step();
    setenv("TMPDIR", (dir + "tmp").c_str(), 1);
    EXPECT_EQ(r.ins_state, ins_message);
    EXPECT_NE(r.err_msg.find(std::string("the installer: ") + c.error), std::string::npos)
        << r.err_msg;
    EXPECT_NE(access(r.installer_app_name.c_str(), F_OK), 0) << "the copy in the private folder";
    EXPECT_EQ(run_command("ls '" + dir + "tmp/' | grep -c '^nimbrel-update-'"), "0\n");
  }
}

// [SECTION] The window

// The window itself in the frame loop with the real art: the check runs in
// it, it draws (kept as BUILD/screens/about.png for review) and it closes
// when the program is closed.
TEST_F(About, TheWindowRunsTheCheckAndClosesWithTheProgram) {
  const char* error = "";
  ASSERT_TRUE(testing_support::open_installer_window(1024, 768, &error)) << error;
  web_host = "127.0.15.22:9";
  about_record& r = about_state();
  r.version_str_found = 1;
  r.version_str_net = "Nimbrel 9.10";
  r.ins_state = ins_message;
  r.err_msg =
      "There is a new version of Nimbrel available! Visit 127.0.15.22:9 to download the "
      "update.";
  const std::string shot = std::string(NIMBREL_BINARY_DIR) + "/screens/about.png";
  run_command("mkdir -p '" + std::string(NIMBREL_BINARY_DIR) + "/screens'");
  bool saved = false;
  int window_seen = 0;
  testing_support::run_frames({[] {}, [] {},
                               [&] {
                                 window_seen = mnw.cur_window;
                                 // The window as the last frame drew it, centred: corner (212,
                                 // 234).
                                 saved =
                                     testing_support::save_back_buffer(shot, 212, 234, 600, 300);
                                 testing_support::push_quit();
                               }},
                              MACIBM_about);
  EXPECT_EQ(window_seen, wind_about);
  EXPECT_EQ(mnw.cur_window, wind_main);
  EXPECT_TRUE(saved);
  EXPECT_GE(r.pause.failures(), 1) << "the check ran while the window was up";
  close_requested = 0;
  testing_support::close_shell_window();
}

}  // namespace
