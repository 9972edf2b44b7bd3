// Two releases made by the builder program, served by nginx on loopback and
// installed by the engine frame by frame: the first into an empty folder,
// the second as an update over it. Each time the installed tree is checked
// against the manifest with md5sum.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "tests/installer/builder/builder_fixture.h"
#include "tests/installer/update/engine_fixture.h"
#include "tests/net/peers.h"

// Loopback addresses of the builder's tests: 127.0.16.1 the release loop.
namespace builder_tests {
namespace {

class ReleaseLoop : public BuilderTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(BuilderTest::SetUp());
    sh("mkdir -p " + shq(dir + "tmp") + " " + shq(dir + "root/Nimbrel") + " " +
       shq(dir + "mirror/www"));
    engine_tests::engine_defaults(in, dir + "root/Nimbrel/", dir + "tmp/");
  }
  void TearDown() override {
    reset_streams(in);
    server_.reset();
    BuilderTest::TearDown();
  }

  // The mirror's version folder is the set the builder made.
  void serve(const std::string& output) {
    sh("ln -sfn " + shq(set_of(output)) + " " + shq(dir + "mirror/www/v1"));
    if (server_) return;
    const std::string root = dir + "mirror/";
    server_ = std::make_unique<net_peers::Peer>(net_peers::nginx_argv(root, kAddress), kAddress, 80,
                                                root + "nginx.out");
    ASSERT_TRUE(server_->ready()) << server_->failure();
    in.server_name[0] = kAddress;
    in.server_path[0] = "/v1/";
    stg.server_count = 1;
  }

  // The set's manifest fetched and read, INSTALL, and frames until the end.
  void install(const std::string& manifest) {
    engine_tests::install_frames(in, manifest);
    EXPECT_EQ(stg.install_error, 0);
    EXPECT_EQ(in.next.all_done, 1);
  }

  // Every current file of the manifest for Linux, read by the Python
  // reader, is at the destination with its signature: md5sum over the
  // files, the link text's digest for links. A GONE file, or one for
  // another system, is absent unless a current Linux file lands there.
  void expect_tree_matches(const std::string& manifest) {
    std::istringstream dump(python_dump(manifest));
    std::string line, path, last, sums;
    std::set<std::string> installed;
    std::vector<std::pair<std::string, std::string>> absent;  // place, why
    int files = 0;
    auto take = [&] {
      if (path.empty()) return;
      std::istringstream fields(last);
      int type, platform, version, zip, ext;
      std::string sig;
      fields >> type >> platform >> version >> zip >> ext >> sig;
      const std::string local = path.substr(path.find('/') + 1);
      struct stat st;
      const bool present = lstat((in.dest_dir_path + local).c_str(), &st) == 0;
      if (sig == "GONE") {
        absent.emplace_back(local, " should be gone");
        return;
      }
      if (platform != 0 && platform != 3 && platform != 6) {
        if (platform == 1 || platform == 2) absent.emplace_back(local, " is not for Linux");
        return;
      }
      installed.insert(local);
      ++files;
      if (present && S_ISLNK(st.st_mode)) {
        char text[4096];
        const ssize_t n = readlink((in.dest_dir_path + local).c_str(), text, sizeof text);
        EXPECT_EQ(testing_support::md5sum_of(std::string(text, size_t(n > 0 ? n : 0))), sig)
            << local;
      } else {
        sums += sig + "  " + local + "\n";
      }
    };
    while (std::getline(dump, line)) {
      if (line.compare(0, 2, "  ") == 0) {
        last = line.substr(2);
        continue;
      }
      take();
      path = line;
    }
    take();
    for (const auto& place : absent) {
      struct stat st;
      if (!installed.count(place.first)) {
        EXPECT_NE(lstat((in.dest_dir_path + place.first).c_str(), &st), 0)
            << place.first << place.second;
      }
    }
    EXPECT_GT(files, 10);
    write_file(dir + "expect.md5", sums);
    int status = -1;
    const std::string said = sh("cd " + shq(in.dest_dir_path) + " && md5sum -c --quiet " +
                                    shq(dir + "expect.md5") + " 2>&1",
                                &status);
    EXPECT_EQ(status, 0) << said;
  }

  static constexpr const char* kAddress = "127.0.16.1";
  std::unique_ptr<net_peers::Peer> server_;
};

TEST_F(ReleaseLoop, BuildServeInstallThenUpdate) {
  ASSERT_EQ(build(dir + "out1/"), 0) << log_tail();
  serve(dir + "out1/");
  const std::string first = manifest_of(dir + "out1/", "first.txt");
  ASSERT_NO_FATAL_FAILURE(install(first));
  expect_tree_matches(first);
  struct stat st;
  ASSERT_EQ(stat((in.dest_dir_path + "nimbrel").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);  // the master's copy was group-writable
  EXPECT_EQ(lstat((in.dest_dir_path + "Weapons/bomb.wpn").c_str(), &st), 0);

  // The next release: one file changed, one removed, one added, one moved
  // from All to the Linux folder (it stays where it was installed).
  write_file(master + "All/Instructions/Manual with blanks.txt", "Read me second.\n");
  sh("rm " + shq(master + "All/Weapons/bomb.wpn"));
  write_file(master + "All/Weapons/missile.wpn", "missile\n");
  sh("mkdir -p " + shq(master + "Linux/Resources/plugins") + " && mv " +
     shq(master + "All/Resources/plugins/other.txt") + " " +
     shq(master + "Linux/Resources/plugins/other.txt"));
  ASSERT_EQ(build(dir + "out2/", aged(first, "old.txt")), 0) << log_tail();
  serve(dir + "out2/");
  const std::string second = manifest_of(dir + "out2/", "second.txt");

  // The moved file is gone for a Macintosh installation of the first
  // release; the Linux one below keeps it, now from the Linux folder.
  stg.download_os = platform_mac;
  ASSERT_EQ(read_directory(in, second, "t"), dir_read) << in.manifest_problem;
  ASSERT_EQ(choose_files(in), 1);
  int deleted = 0;
  for (const file_history_struct& h : in.sim_info) {
    if (h.back().path != "All/Resources/plugins/other.txt") continue;
    EXPECT_EQ(h.back().sig_want, "GONE");
    deleted += h.back().want_delete;
  }
  EXPECT_EQ(deleted, 1);
  stg.download_os = platform_linux;
  ASSERT_NO_FATAL_FAILURE(install(second));
  expect_tree_matches(second);
  EXPECT_NE(lstat((in.dest_dir_path + "Weapons/bomb.wpn").c_str(), &st), 0);
  EXPECT_EQ(read_file(in.dest_dir_path + "Resources/plugins/other.txt"), "shared\n");
  EXPECT_EQ(read_file(in.dest_dir_path + "Instructions/Manual with blanks.txt"),
            "Read me second.\n");
}

}  // namespace
}  // namespace builder_tests
