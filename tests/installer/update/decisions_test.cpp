// The file decisions, with the question answered by the test: what is
// fetched, deleted or left alone, which files are asked about, every answer,
// and a GONE history that shares its local path with a current one.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "core/globals.h"
#include "installer/update/decisions.h"
#include "installer/update/hooks.h"
#include "installer/update/install.h"
#include "installer/update/manifest.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

namespace {

const std::string A(32, 'a'), B(32, 'b'), C(32, 'c'), D(32, 'd');

// The answers the test gives, in order, and the questions it was asked.
std::deque<int> g_answers;
std::vector<std::string> g_asked;

select_answer answer(const std::string& path, int deleting) {
  g_asked.push_back((deleting ? "delete " : "install ") + path);
  if (g_answers.empty()) return answer_cancel;
  const select_answer a = static_cast<select_answer>(g_answers.front());
  g_answers.pop_front();
  return a;
}

class Decisions : public testing_support::TempFolderTest {
 protected:
  Decisions() : TempFolderTest("decisions", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    in.dest_dir_path = "/dest/";
    stg.download_os = platform_linux;
    g_answers.clear();
    g_asked.clear();
    g_engine_hooks.select_alert = answer;
  }
  void TearDown() override {
    engine_hooks_reset();
    TempFolderTest::TearDown();
  }
  // A history of the given signatures, oldest first, with the installed copy.
  void add(const std::string& path, std::vector<std::string> sigs, const std::string& have,
           int platform = 0) {
    file_history_struct h;
    for (const std::string& s : sigs) {
      file_version_struct r;
      r.path = path;
      r.sig_want = s;
      r.platform = platform;
      h.push_back(r);
    }
    h.back().sig_have = have;
    in.sim_info.push_back(h);
  }
  // "d" download, "x" delete, "-" neither, for every history.
  std::string flags() const {
    std::string out;
    for (const file_history_struct& h : in.sim_info)
      out += h.back().want_download ? (h.back().want_delete ? "?" : "d")
                                    : (h.back().want_delete ? "x" : "-");
    return out;
  }
  // The install whose files are decided, reporting through the program's block.
  install_state in{stg};
};

TEST_F(Decisions, EachFileByItsInstalledCopy) {
  add("All/missing", {A}, "NONE");               // fetched
  add("All/gone-missing", {A, "GONE"}, "NONE");  // nothing to delete
  add("All/current", {B, A}, A);                 // current, though an older line matches too
  add("All/older", {A, B, C}, B);                // an older release: updated silently
  add("All/gone-older", {A, B, "GONE"}, A);      // deleted silently
  add("Windows/other", {A}, "NONE", 2);          // another platform
  add("Windows/other-changed", {A}, D, 2);       // another platform, whatever it holds
  add("Linux/with-all", {A}, "NONE", 6);         // Linux kept with the rest
  EXPECT_EQ(choose_files(in), 1);
  EXPECT_EQ(flags(), "d--dx--d");
  EXPECT_TRUE(g_asked.empty());
}

TEST_F(Decisions, ChangedFilesAreAskedAboutAndEveryAnswerCounts) {
  struct {
    std::vector<std::string> sigs;
    int answer;
    std::string flag;
  } cases[] = {
      {{A}, answer_act, "d"},          {{A}, answer_keep, "-"}, {{A, "GONE"}, answer_act, "x"},
      {{A, "GONE"}, answer_keep, "-"}, {{A}, 99, "d"},  // an answer the window never gives leaves
                                                        // the file to be acted on
  };
  for (const auto& c : cases) {
    in.sim_info.clear();
    g_asked.clear();
    add("All/Res/f", c.sigs, D);
    g_answers = {c.answer};
    EXPECT_EQ(choose_files(in), 1);
    EXPECT_EQ(flags(), c.flag) << c.answer;
    const std::string kind = c.sigs.back() == "GONE" ? "delete " : "install ";
    EXPECT_EQ(g_asked, std::vector<std::string>{kind + "/dest/Res/f"});
  }
  EXPECT_NE(log().find("File: /dest/Res/f  sig_want=" + A + "  sig_have=" + D + "\n"),
            std::string::npos);
}

TEST_F(Decisions, AFolderWideAnswerHoldsForThatFolderOnly) {
  for (int all : {answer_act_all, answer_keep_all}) {
    in.sim_info.clear();
    g_asked.clear();
    add("All/Res/one", {A}, D);
    add("All/Res/two", {A, "GONE"}, D);
    add("All/Res/sub/three", {A}, D);
    add("All/Res/four", {A}, D);
    g_answers = {all, answer_keep};
    EXPECT_EQ(choose_files(in), 1);
    EXPECT_EQ(g_asked,
              (std::vector<std::string>{"install /dest/Res/one", "install /dest/Res/sub/three"}));
    EXPECT_EQ(flags(), all == answer_act_all ? "dx-d" : "----");
  }
  // A file that the folder's answer decided gets no log line either.
  EXPECT_EQ(log().find("File: /dest/Res/two"), std::string::npos);
  // Each pass starts without the last pass's answers.
  g_asked.clear();
  g_answers = {answer_keep, answer_keep, answer_keep, answer_keep};
  EXPECT_EQ(choose_files(in), 1);
  EXPECT_EQ(g_asked.size(), 4u);
}

TEST_F(Decisions, CancelStopsAtOnceAndLeavesTheRestAlone) {
  add("All/first", {A}, "NONE");
  add("All/changed", {A}, D);
  add("All/later", {A}, "NONE");
  in.sim_info[2].back().want_delete = 1;  // as an earlier pass might have left it
  g_answers = {answer_cancel};
  EXPECT_EQ(choose_files(in), 0);
  EXPECT_EQ(flags(), "d-x");
}

TEST_F(Decisions, WithoutAQuestionWindowTheUsersFileIsKept) {
  engine_hooks_reset();
  add("All/changed", {A}, D);
  EXPECT_EQ(choose_files(in), 1);
  EXPECT_EQ(flags(), "-");
}

TEST_F(Decisions, AGoneHistoryNeverDeletesWhatACurrentOneInstallsThere) {
  // The file moved from All to Linux with the same bytes: the old history's
  // GONE line matches the copy the new history installs.
  add("All/Res/prog", {A, "GONE"}, A);
  add("Linux/Res/prog", {A}, A, 3);
  add("All/Res/moved-in-order", {B, "GONE"}, B);
  add("Linux/Res/moved-in-order", {B, C}, B, 3);  // and updated: fetched, not deleted first
  add("Windows/Res/elsewhere", {A}, "NONE", 2);   // another platform protects nothing
  add("All/Res/elsewhere", {A, "GONE"}, A);
  EXPECT_EQ(choose_files(in), 1);
  EXPECT_EQ(flags(), "---d-x");
}

TEST_F(Decisions, ACopyMatchingAnyPathThatInstallsThereIsOursAndReplacedUnasked) {
  // Each case: two histories of one local path, "Res/prog", and its installed
  // copy; the flags of both and whether the user was asked.
  struct {
    std::string first_path;
    std::vector<std::string> first;
    int first_platform;
    std::string second_path;
    std::vector<std::string> second;
    int second_platform;
    std::string have, flags;
    bool asked;
  } cases[] = {
      // Moved from the shared folder to a platform folder with new bytes.
      {"All/Res/prog", {A, "GONE"}, 0, "Linux/Res/prog", {B}, 3, A, "-d", false},
      // And back, after two releases there.
      {"Linux/Res/prog", {A, B, "GONE"}, 3, "All/Res/prog", {C}, 0, B, "-d", false},
      // Whichever history comes first in the manifest.
      {"Linux/Res/prog", {B}, 3, "All/Res/prog", {A, "GONE"}, 0, A, "d-", false},
      // Kept with the shared files.
      {"All/Res/prog", {A, "GONE"}, 0, "Linux/Res/prog", {C, B}, 6, C, "-d", false},
      // A release for another platform that installs to the same place.
      {"Windows/Res/prog", {A}, 2, "All/Res/prog", {B}, 0, A, "-d", false},
      // A copy that no history of that place knows is still the user's.
      {"All/Res/prog", {A, "GONE"}, 0, "Linux/Res/prog", {B}, 3, D, "--", true},
      // Another place's history does not vouch for this one.
      {"All/Res/other", {A, "GONE"}, 0, "Linux/Res/prog", {B}, 3, A, "x-", true},
  };
  for (const auto& c : cases) {
    in.sim_info.clear();
    g_asked.clear();
    add(c.first_path, c.first, c.have, c.first_platform);
    add(c.second_path, c.second, c.have, c.second_platform);
    g_answers = {answer_keep, answer_keep};
    EXPECT_EQ(choose_files(in), 1);
    EXPECT_EQ(flags(), c.flags) << c.first_path << " then " << c.second_path;
    EXPECT_EQ(!g_asked.empty(), c.asked) << c.first_path << " then " << c.second_path;
  }
}

TEST_F(Decisions, AGoneFileBehindALinkIsNeitherDeletedNorAskedAbout) {
  // A release turned the folder Old into a link to New: the old files are
  // no longer there, and what the link reaches is New's, whatever it holds.
  in.dest_dir_path = dir;
  testing_support::run_command("mkdir -p '" + dir + "New' '" + dir + "Real' && ln -s New '" + dir +
                               "Old'");
  add("All/Old/same", {A, "GONE"}, A);     // the moved file, as read through the link
  add("All/Old/changed", {A, "GONE"}, D);  // New's copy differs from every old one
  add("All/Real/gone", {A, "GONE"}, A);    // a real folder: deleted as ever
  add("All/Missing/gone", {A, "GONE"}, A);
  EXPECT_EQ(choose_files(in), 1);
  EXPECT_EQ(flags(), "--xx");
  EXPECT_TRUE(g_asked.empty());
  EXPECT_NE(log().find("Not deleting " + dir + "Old/same: a link stands on its way.\n"),
            std::string::npos);
}

}  // namespace
