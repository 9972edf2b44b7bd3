// Paths beneath a root on a scratch tree whose links lead inside, outside,
// through a chain, to an absolute path and round in a loop; every case runs
// with the kernel's resolver (where the kernel has one) and with the walk.
#include "Files/beneath.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

// dir/root/   a/f  d/  d/up -> ..  in -> a  esc -> d/up/../outside
//             abs -> /tmp  loop -> loop  out -> ../outside/secret  to_f -> in/f
// dir/outside/secret
class Beneath : public testing_support::TempFolderTest, public ::testing::WithParamInterface<bool> {
 protected:
  Beneath() : TempFolderTest("beneath") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    beneath_reset();
    g_beneath.force_walk = GetParam();
    root = dir + "root/";
    run_command("mkdir -p '" + root + "a' '" + root + "d' '" + dir + "outside'");
    write_file(root + "a/f", "f");
    write_file(dir + "outside/secret", "secret");
    chmod((root + "a/f").c_str(), 0644);
    chmod((dir + "outside/secret").c_str(), 0644);
    for (const auto& l :
         std::vector<std::pair<std::string, std::string>>{{"d/up", ".."},
                                                          {"in", "a"},
                                                          {"esc", "d/up/../outside"},
                                                          {"abs", "/tmp"},
                                                          {"loop", "loop"},
                                                          {"out", "../outside/secret"},
                                                          {"to_f", "in/f"}})
      ASSERT_EQ(symlink(l.second.c_str(), (root + l.first).c_str()), 0) << l.first;
    outside_before = outside();
  }

  void TearDown() override {
    EXPECT_EQ(outside(), outside_before) << "something outside the root changed";
    beneath_reset();
    TempFolderTest::TearDown();
  }

  std::string outside() {
    return run_command("cd '" + dir + "outside' && find . -printf '%p %y %m %s %T@\\n' | sort");
  }

  std::string root, outside_before;
};

TEST_P(Beneath, EachWayIsResolvedOnDiskAndRefusedWhenItLeaves) {
  struct {
    const char* rel;
    beneath_walk how;
    int error;
  } cases[] = {
      {"a/f", walk_links_inside, 0},
      {"in/f", walk_links_inside, 0},
      {"in/f", walk_no_links, ELOOP},
      {"d/up/a/f", walk_links_inside, 0},
      {"d/up/d/up/in/f", walk_links_inside, 0},
      {"esc/secret", walk_links_inside, EXDEV},
      {"d/up/../outside/secret", walk_links_inside, EXDEV},
      {"../outside/secret", walk_links_inside, EXDEV},
      {"abs/x", walk_links_inside, EXDEV},
      {"loop/x", walk_links_inside, ELOOP},
      {"a/f/x", walk_links_inside, ENOTDIR},
      {"missing/x", walk_links_inside, ENOENT},
      {"out", walk_links_inside, 0},  // the link itself, not where it leads
  };
  for (const auto& c : cases) {
    struct stat st;
    EXPECT_EQ(beneath_lstat(root, c.rel, c.how, &st), c.error) << c.rel;
  }
  // The kernel's resolver is asked once and its answer kept; the walk never
  // asks it.
  EXPECT_EQ(g_beneath.kernel_resolver == -1, GetParam());
}

TEST_P(Beneath, NothingOutsideIsMadeRenamedChangedReadOrDeleted) {
  for (const char* way : {"esc/", "d/up/../outside/", "abs/"}) {
    const std::string w = way;
    EXPECT_EQ(beneath_mkdir(root, w + "new", 0755), EXDEV) << way;
    EXPECT_EQ(beneath_unlink(root, w + "secret", walk_links_inside), EXDEV) << way;
    EXPECT_EQ(beneath_rename(root, w + "secret", "stolen", walk_links_inside), EXDEV) << way;
    EXPECT_EQ(beneath_rename(root, "a/f", w + "planted", walk_links_inside), EXDEV) << way;
    EXPECT_EQ(beneath_chmod(root, w + "secret", 0777), EXDEV) << way;
    EXPECT_EQ(beneath_open_read(root, w + "secret", walk_links_inside), -EXDEV) << way;
  }
  // A link's own last step counts too: out leads beside the root.
  EXPECT_EQ(beneath_chmod(root, "out", 0777), EXDEV);
  std::string text;
  EXPECT_EQ(beneath_read_link(root, "out", &text), 0);
  EXPECT_EQ(text, "../outside/secret");
  EXPECT_EQ(beneath_open_read(root, "out", walk_links_inside), -ELOOP);
  EXPECT_EQ(read_file(root + "a/f"), "f");
}

TEST_P(Beneath, InsideTheOperationsDoWhatTheySay) {
  // chmod follows a link that stays inside, chains included.
  EXPECT_EQ(beneath_chmod(root, "to_f", 0600), 0);
  struct stat st;
  ASSERT_EQ(beneath_lstat(root, "a/f", walk_links_inside, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  int fd = beneath_open_read(root, "in/f", walk_links_inside);
  ASSERT_GE(fd, 0);
  char c = 0;
  EXPECT_EQ(read(fd, &c, 1), 1);
  EXPECT_EQ(c, 'f');
  close(fd);
  EXPECT_EQ(beneath_mkdir(root, "in/sub", 0755), 0);
  EXPECT_EQ(beneath_mkdir(root, "in/sub", 0755), EEXIST);
  EXPECT_EQ(beneath_rename(root, "a/f", "d/g", walk_links_inside), 0);
  EXPECT_EQ(read_file(root + "d/g"), "f");
  // Deleting without following: the link in the way refuses it.
  EXPECT_EQ(beneath_unlink(root, "in/sub/", walk_no_links), ELOOP);
  EXPECT_EQ(beneath_unlink(root, "a/sub/", walk_no_links), 0);
  EXPECT_EQ(beneath_unlink(root, "d/g", walk_no_links), 0);
  EXPECT_EQ(beneath_unlink(root, "in", walk_no_links), 0);  // the link, not its folder
  EXPECT_EQ(run_command("cd '" + root + "' && ls -A a"), "");
}

TEST_P(Beneath, ALinkIsJudgedByWhereItLeadsOnDisk) {
  struct {
    const char* folder;
    const char* text;
    bool inside;
  } cases[] = {
      {"", "a", true},
      {"d", "..", true},
      {"", "..", false},
      {"", "/tmp", false},
      {"", "d/up/../outside", false},  // inside by its text, not on disk
      {"a", "../esc", false},          // through a link that leads out
      {"d", "up/../x", false},
      {"", "missing/../a", true},  // what does not exist yet counts by its names
      {"", "missing/../../x", false},
      {"", "in/../../root/a", false},
      {"", "loop", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(beneath_link_stays_inside(root, c.folder, c.text), c.inside)
        << c.folder << " / " << c.text;
}

TEST_P(Beneath, TreesAreListedAndRemovedWithoutFollowingTheirLinks) {
  run_command("mkdir -p '" + root + "t/s' && printf x > '" + root +
              "t/s/x' && ln -s ../../../outside '" + root + "t/s/away'");
  std::vector<std::string> entries;
  ASSERT_EQ(beneath_list_tree(root, "t", walk_no_links, &entries), 0);
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"t/s/", "t/s/away", "t/s/x"}));
  EXPECT_EQ(beneath_list_tree(root, "in", walk_no_links, &entries), ENOTDIR);
  EXPECT_EQ(beneath_remove_tree(root, "in", walk_no_links), ENOTDIR);
  EXPECT_EQ(beneath_remove_tree(root, "t", walk_no_links), 0);
  struct stat st;
  EXPECT_EQ(lstat((root + "t").c_str(), &st), -1);
  EXPECT_EQ(read_file(dir + "outside/secret"), "secret");
}

// A rename anywhere on the system while the kernel resolves ".." makes it
// refuse the lookup (EAGAIN). Asked only once, under a storm of renames
// beside the root, it refuses often: the walk answers those lookups, and
// none of them fails.
TEST_P(Beneath, RenamesElsewhereNeverFailALookupThroughALinkUp) {
  struct stat st;
  ASSERT_EQ(beneath_lstat(root, "d/up/a/f", walk_links_inside, &st), 0);
  if (GetParam() || g_beneath.kernel_resolver != 1) GTEST_SKIP() << "no kernel resolver to refuse";
  g_beneath.kernel_attempts = 1;
  write_file(dir + "r0", "r");
  std::atomic<bool> stop{false};
  std::thread renamer([&] {
    const std::string a = dir + "r0", b = dir + "r1";
    while (!stop) {
      rename(a.c_str(), b.c_str());
      rename(b.c_str(), a.c_str());
    }
  });
  int lookups = 0, failures = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while ((lookups < 2000 || g_beneath.kernel_gave_way < 20) &&
         std::chrono::steady_clock::now() < until) {
    if (beneath_lstat(root, "d/up/a/f", walk_links_inside, &st) != 0) ++failures;
    ++lookups;
  }
  stop = true;
  renamer.join();
  EXPECT_EQ(failures, 0) << "of " << lookups << " lookups";
  if (g_beneath.kernel_gave_way == 0) GTEST_SKIP() << "no rename met a lookup in " << lookups;
}

// The entry whose mode changes trades places, again and again, with a link
// to the secret beside the root: whenever the mode changes, it changes on
// the file inside, never through the link (the fixture checks the outside).
TEST_P(Beneath, AModeChangesOnlyOnWhatWasLookedAt) {
  write_file(root + "swap", "inside");
  ASSERT_EQ(symlink("../outside/secret", (root + "swap_link").c_str()), 0);
  std::atomic<bool> stop{false};
  std::atomic<int> swaps{0};
  std::thread swapper([&] {
    const std::string a = root + "swap", b = root + "swap_link";
    while (!stop)
      if (syscall(SYS_renameat2, AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0)
        ++swaps;
  });
  // Changed inside, refused as leading out, or anything else (none).
  int changed = 0, refused = 0, other = 0, last_other = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (int k = 0; k < 20000 && std::chrono::steady_clock::now() < until; ++k) {
    const int r = beneath_chmod(root, "swap", k % 2 ? 0640 : 0604);
    (r == 0 ? changed : r == EXDEV ? refused : other) += 1;
    if (r != 0 && r != EXDEV) last_other = r;
  }
  stop = true;
  swapper.join();
  struct stat st;
  ASSERT_EQ(lstat((dir + "outside/secret").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  EXPECT_EQ(other, 0) << "the last: " << last_other;
  EXPECT_GT(changed, 0);
  EXPECT_GT(refused, 0);
  EXPECT_GT(swaps.load(), 100);
}

INSTANTIATE_TEST_SUITE_P(Resolvers, Beneath, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) {
                           return p.param ? std::string("Walk") : std::string("Kernel");
                         });

}  // namespace
