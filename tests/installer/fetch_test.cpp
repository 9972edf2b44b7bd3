// The frame's fetch steps polled without a window, against nginx on loopback
// serving from unprivileged ports: the server list, the manifest archive in
// every shape a mirror might send, mirrors that fail and the growing pauses
// between their attempts, and the manifest's reading.
//
// Contents
//   [SECTION] The server list and the manifest
//   [SECTION] Archives a mirror sends
//   [SECTION] Mirrors that fail
//   [SECTION] Newer formats
#include "installer/fetch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/clock.h"
#include "core/constants.h"
#include "core/globals.h"
#include "Files/io_utils.h"
#include "installer/screen.h"
#include "installer/start.h"
#include "installer/update/manifest.h"
#include "installer/update/transfer.h"
#include "net/http.h"
#include "tests/net/peers.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

// Loopback addresses (each case runs as its own process): 127.0.15.10 the web
// host, .11 to .13 mirrors; .14 and .15 take no connection at all.
namespace {

const int kPort = 8015;

int64_t size_of(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}
const char kGoodManifest[] =
    "I\n900 version\nINSTALLER\n\nDIR All/Resources/\n"
    "FILE 0 0 90017 1 2 0123456789abcdef0123456789abcdef a.txt\n"
    "FILE 0 0 90017 1 3 00112233445566778899aabbccddeeff b.txt\n";

class Fetch : public testing_support::TempFolderTest {
 protected:
  Fetch() : TempFolderTest("fetch", with_log) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    g_install.reset();
    temp_path = dir + "tmp/";
    dest_dir_path = dir + "dest/";
    run_command("mkdir -p '" + temp_path + "' '" + dest_dir_path + "'");
    stg = stg_block();
    stg.server_count = -1;
    stg.download_os = platform_linux;
    install_name = no_install_name;
    web_host = "127.0.15.10:" + std::to_string(kPort);
    app_done = 0;
    xtim.act_time = 100.0f;
    fetch_reset();
  }
  void TearDown() override {
    http.net_abandon(kServerListSlot);
    http.net_abandon(kManifestSlot);
    dir_examine_cancel(g_install);
    servers_.clear();
    TempFolderTest::TearDown();
  }

  // nginx on addr:kPort serving dir + "<addr>/www/".
  std::string serve(const std::string& addr) {
    const std::string root = dir + addr + "/";
    run_command("mkdir -p '" + root + "www/sets/v1'");
    servers_.push_back(std::make_unique<net_peers::Peer>(
        net_peers::nginx_argv(root, addr, "64k", kPort), addr, kPort, root + "nginx.out"));
    EXPECT_TRUE(servers_.back()->ready()) << servers_.back()->failure();
    return root + "www/";
  }

  // A zip archive from Python's zipfile with these entries (a Python list of
  // (name, text)).
  void zip(const std::string& path, const std::string& entries) {
    write_file(dir + "zip.py",
               "import zipfile, sys\nz = zipfile.ZipFile(sys.argv[1], 'w')\nfor n, t in " +
                   entries + ": z.writestr(n, t)\nz.close()\n");
    int status = 0;
    std::string out = run_command("python3 '" + dir + "zip.py' '" + path + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
  }

  // Mirrors i: host and version folder, as the server list gives them.
  void mirrors(std::initializer_list<const char*> hosts) {
    int i = 0;
    for (const char* h : hosts) {
      server_name[i] = std::string(h) + ":" + std::to_string(kPort);
      server_path[i] = "/sets/v1/";
      ++i;
    }
    stg.server_count = i;
    stg.server_index = 0;
    install_name = "v1";
  }

  // Calls step every few milliseconds, the clock moving on by `tick`
  // seconds each time, until done holds or ten seconds have passed.
  bool poll(const std::function<void()>& step, const std::function<bool()>& done,
            float tick = 0.0f) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      step();
      xtim.act_time += tick;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  bool fetch_until_settled() {
    return poll(
        manifest_fetch_step, [] { return stg.dir_state != dir_fetching || no_mirror_left(); },
        2.0f);
  }

  std::vector<std::unique_ptr<net_peers::Peer>> servers_;
};

// [SECTION] The server list and the manifest

TEST_F(Fetch, TheListAndTheManifestComeFromHostsWithPortsAndAreRead) {
  const std::string web = serve("127.0.15.10");
  const std::string mirror = serve("127.0.15.11");
  write_file(web + "serverlist.txt",
             "I\n820 version\nSERVERS\nFINAL v1\nSERVER 127.0.15.11:" + std::to_string(kPort) +
                 "\n/sets/\nThe only mirror\nENDOFLIST\n");
  write_file(dir + "directory.txt", kGoodManifest);
  zip(mirror + "sets/v1/directory.txt.zip",
      "[('directory.txt', open('" + dir + "directory.txt').read())]");
  // A manifest of an earlier run is never read in place of the new one.
  write_file(manifest_file(), "left over");

  ASSERT_TRUE(poll(server_list_step, [] { return stg.server_count != -1; }));
  EXPECT_EQ(stg.server_count, 1);
  EXPECT_EQ(install_name, "v1");
  EXPECT_EQ(server_name[0], "127.0.15.11:" + std::to_string(kPort));
  ASSERT_TRUE(fetch_until_settled());
  EXPECT_EQ(stg.dir_state, dir_fetched);
  EXPECT_EQ(read_file(manifest_file()), kGoodManifest);
  EXPECT_FALSE(testing_support::read_file(manifest_archive_file()).size()) << "the archive goes";
  ASSERT_TRUE(poll([] { manifest_read_step("t"); }, [] { return stg.dir_state != dir_fetched; }));
  EXPECT_EQ(stg.dir_state, dir_read);
  EXPECT_EQ(sim_info.size(), 2u);
  EXPECT_NE(log().find("Read the manifest of v1 from 127.0.15.11:8015: 2 files"), std::string::npos)
      << log();
}

// A captive portal answers with its own page: that is a failed fetch, tried
// again after a pause, never the message that a new installer is needed.
TEST_F(Fetch, APageThatIsNoListIsAFailedFetchTriedAgainAfterAPause) {
  const std::string web = serve("127.0.15.10");
  write_file(web + "serverlist.txt", "<html><body>Please log in to use this network</body></html>");
  ASSERT_TRUE(poll(server_list_step, [this] {
    return log().find("counts as a failed download") != std::string::npos;
  }));
  EXPECT_EQ(stg.server_count, -1);
  EXPECT_EQ(app_done, 0);
  EXPECT_EQ(log().find("newer than we read"), std::string::npos);
  server_list_step();
  EXPECT_EQ(http.slots[kServerListSlot], nullptr) << "no new attempt before the pause is over";
  xtim.act_time += 1.01f;
  write_file(web + "serverlist.txt",
             "I\n820 version\nSERVERS\nFINAL v1\nSERVER m.example\n/s/\nM\n");
  ASSERT_TRUE(poll(server_list_step, [] { return stg.server_count != -1; }));
  EXPECT_EQ(stg.server_count, 1);
}

// [SECTION] Archives a mirror sends

// Whatever a mirror sends in place of the manifest's archive gives that
// mirror up for the next one; nothing of it reaches the temporary folder.
TEST_F(Fetch, AMirrorWhoseArchiveIsNotTheManifestIsGivenUp) {
  const std::string bad = serve("127.0.15.11");
  const std::string good = serve("127.0.15.12");
  zip(good + "sets/v1/directory.txt.zip",
      "[('directory.txt', '''" + std::string(kGoodManifest) + "''')]");
  const char* shapes[] = {
      "[('directory.txt', 'x'), ('other.txt', 'y')]",
      "[('manifest.txt', 'x')]",
      "[('sub/directory.txt', 'x')]",
      "[('directory.txt/', '')]",
  };
  for (const char* shape : shapes) {
    fetch_reset();
    stg.dir_state = dir_fetching;
    mirrors({"127.0.15.11", "127.0.15.12"});
    zip(bad + "sets/v1/directory.txt.zip", shape);
    write_file(manifest_file(), "left over");
    ASSERT_TRUE(fetch_until_settled()) << shape;
    EXPECT_EQ(stg.dir_state, dir_fetched) << shape;
    EXPECT_EQ(stg.server_index, 1) << shape;
    EXPECT_EQ(read_file(manifest_file()), kGoodManifest) << shape;
    EXPECT_EQ(run_command("ls -A '" + temp_path + "'"), "directory.txt\n") << shape;
  }
  // Not an archive at all: the same.
  fetch_reset();
  stg.dir_state = dir_fetching;
  mirrors({"127.0.15.11", "127.0.15.12"});
  write_file(bad + "sets/v1/directory.txt.zip", "<html>maintenance</html>");
  ASSERT_TRUE(fetch_until_settled());
  EXPECT_EQ(stg.server_index, 1);
  EXPECT_NE(log().find("The manifest archive from 127.0.15.11:8015 is not usable"),
            std::string::npos);
}

// The text that an archive unpacks to is capped, however well it packs.
TEST_F(Fetch, AManifestTextOverItsCapIsNotUnpacked) {
  const std::string archive = dir + "big.zip";
  int status = 0;
  const std::string out = run_command(
      "python3 -c \"import zipfile, sys\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "  z.writestr('directory.txt', b'x' * int(sys.argv[2]))\" '" +
          archive + "' " + std::to_string(kManifestTextCap + 1) + " 2>&1",
      &status);
  ASSERT_EQ(status, 0) << out;
  EXPECT_LT(size_of(archive), kManifestArchiveCap / 32) << "packs far below the archive's cap";
  EXPECT_NE(unpack_manifest(archive, temp_path), 0);
  EXPECT_FALSE(file_exists(manifest_file()));
}

// [SECTION] Mirrors that fail

// Mirrors that take no connection: each is tried three times, with pauses
// of 1, 2, 4, 8 and 16 s between the attempts, then the screen says no mirror
// is left; choosing one on the screen tries it again at once.
TEST_F(Fetch, WhenEveryMirrorFailsThePausesGrowAndTheScreenSaysSo) {
  mirrors({"127.0.15.14", "127.0.15.15"});
  // The clock stands still: no second attempt comes before the pause is over.
  ASSERT_TRUE(
      poll(manifest_fetch_step, [this] { return log().find("next, in") != std::string::npos; }));
  for (int i = 0; i < 20; ++i) manifest_fetch_step();
  EXPECT_EQ(http.slots[kManifestSlot], nullptr);
  const std::string one = log();
  EXPECT_EQ(one.find("next, in"), one.rfind("next, in")) << "one failure so far";

  ASSERT_TRUE(fetch_until_settled());
  EXPECT_TRUE(no_mirror_left());
  std::vector<std::string> pauses;
  const std::string text = log();
  for (size_t at = text.find("next, in "); at != std::string::npos;
       at = text.find("next, in ", at + 1))
    pauses.push_back(text.substr(at + 9, text.find(' ', at + 9) - at - 9));
  EXPECT_EQ(pauses, (std::vector<std::string>{"1", "2", "4", "8", "16"}));
  EXPECT_NE(text.find("No mirror is left to fetch the manifest from."), std::string::npos);

  const status_inputs in = {0, 2, dir_fetching, no_mirror_left(), false, false, 0};
  EXPECT_EQ(status_line(in).colour, 1);
  EXPECT_NE(status_line(in).text.find("None of the servers"), std::string::npos);
  mirror_chosen(1);
  stg.server_index = 1;
  EXPECT_FALSE(no_mirror_left());
  manifest_fetch_step();
  EXPECT_TRUE(http.slots[kManifestSlot] != nullptr || log().size() > text.size())
      << "the chosen mirror is asked at once";
}

// A manifest that is gone from the temporary folder when it is read again
// (a new destination) is fetched again; one that cannot be used gives up
// its mirror.
TEST_F(Fetch, AManifestGoneOrUnusableAtItsReadingIsFetchedAgain) {
  mirrors({"127.0.15.11", "127.0.15.12"});
  stg.dir_state = dir_fetched;
  manifest_read_step("t");
  EXPECT_EQ(stg.dir_state, dir_fetching);

  write_file(manifest_file(),
             "I\n900 version\nINSTALLER\n\nDIR All/../../\n"
             "FILE 0 0 90017 1 2 0123456789abcdef0123456789abcdef escape.txt\n");
  stg.dir_state = dir_fetched;
  ASSERT_TRUE(poll([] { manifest_read_step("t"); }, [] { return stg.dir_state != dir_fetched; }));
  EXPECT_EQ(stg.dir_state, dir_fetching);
  EXPECT_EQ(stg.server_index, 1) << "the mirror that served it is given up";
  EXPECT_EQ(read_file(manifest_file()), "");
}

// [SECTION] Newer formats

// A server list or a manifest of a newer version than this program reads
// tells the user to get a new installer, opens the maker's page and ends the
// run; the engine's readers only answer, the fetch shows it.
TEST_F(Fetch, ANewerListOrManifestTellsTheUserAndEndsTheRun) {
  const std::string old_path = testing_support::stand_in_on_path(
      dir, "xdg-open", "#!/bin/sh\necho \"$1\" >> \"$0.calls\"\n");
  const std::string web = serve("127.0.15.10");
  write_file(web + "serverlist.txt", "I\n821 version\nSERVERS\nFINAL v1\n");
  const std::string newer_manifest = "I\n901 version\nINSTALLER\n\n";
  const std::string page = "http://127.0.15.10:" + std::to_string(kPort) + "/demo.html\n";
  const struct {
    const char* name;
    std::function<void()> step;
    std::function<bool()> done;
    const char* logged;
  } cases[] = {
      {"the server list", server_list_step, [] { return app_done != 0 || stg.server_count != -1; },
       "/serverlist.txt has version 821"},
      {"the manifest",
       [&] {
         write_file(manifest_file(), newer_manifest);
         manifest_read_step("t");
       },
       [] { return app_done != 0; }, "directory.txt has version 901"},
  };
  for (const auto& c : cases) {
    app_done = 0;
    stg.install_phase = phase_idle;
    stg.dir_state = dir_fetched;
    run_command("rm -f '" + dir + "xdg-open.calls'");
    const size_t log_from = log().size();
    ASSERT_TRUE(poll(c.step, c.done)) << c.name;
    EXPECT_EQ(app_done, 1) << c.name;
    EXPECT_EQ(stg.install_phase, phase_ended) << c.name;
    EXPECT_EQ(stg.server_count, -1) << c.name << ": a newer list fills no mirror";
    const std::string text = log().substr(log_from);
    EXPECT_NE(text.find(c.logged), std::string::npos) << c.name << "\n" << text;
    EXPECT_NE(text.find("In other words, you need to get a new installer!"), std::string::npos)
        << c.name;
    for (int i = 0; i < 100 && read_file(dir + "xdg-open.calls").empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(read_file(dir + "xdg-open.calls"), page) << c.name;
  }
  setenv("PATH", old_path.c_str(), 1);
  app_done = 0;
}

}  // namespace
