// Opening the data-file stream: file name, folder retry, the failure alert and
// the one shared stream.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "core/files/xmap.h"
#include "core/globals.h"
#include "Files/io_utils.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;

namespace {

class OufTest : public testing_support::TempFolderTest {
 protected:
  OufTest() : TempFolderTest("ouf", with_log) {}
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    ouf_reset();
  }
  void TearDown() override {
    ouf_reset();
    TempFolderTest::TearDown();
  }
};

TEST_F(OufTest, ExtensionIsLowerCased) {
  struct Case {
    std::string given, written;
  } cases[] = {
      {"Server List.TXT", "Server List.txt"},
      {"MIX.DaT", "MIX.dat"},  // only the last three letters change
      {"ABCD", "Abcd"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(ouf_open(dir + c.given, kind_text, 900, "no-copyright-string"), 1);
    ouf.close();
    EXPECT_EQ(read_file(dir + c.written), "I\n900 version\n") << c.given;
    EXPECT_TRUE(read_file(dir + c.given).empty() || c.given == c.written) << c.given;
  }
  // A joined path of three characters or fewer keeps its case.
  ASSERT_EQ(chdir(dir.c_str()), 0);
  ASSERT_EQ(ouf_open("ABC", kind_text, 900, "no-copyright-string"), 1);
  ouf.close();
  EXPECT_EQ(read_file(dir + "ABC"), "I\n900 version\n");
}

TEST_F(OufTest, MissingFolderIsMadeOnceOnly) {
  EXPECT_EQ(ouf_open(dir + "new/prefs.prf", kind_text, 9001, "no-copyright-string"), 1);
  ouf << "_lang 0\n";
  ouf.close();
  EXPECT_EQ(read_file(dir + "new/prefs.prf"), "I\n9001 version\n_lang 0\n");

  EXPECT_EQ(ouf_open(dir + "two/levels/prefs.prf", kind_text, 9001, "no-copyright-string"), 0);
  EXPECT_FALSE(ouf.is_open());
  xer.flush();
  std::string log = read_file(dir + "Log.txt");
  EXPECT_NE(log.find("I could not save the file!"), std::string::npos) << log;
  EXPECT_NE(log.find(dir + "two/levels/prefs.prf"), std::string::npos) << log;
}

TEST_F(OufTest, SecondOpenClosesTheFirst) {
  ASSERT_EQ(ouf_open(dir + "first.dat", kind_binary, 7, "no-copyright-string"), 1);
  ouf << "unclosed";
  ASSERT_EQ(ouf_open(dir + "second.dat", kind_binary, 8, "no-copyright-string"), 1);
  EXPECT_EQ(read_file(dir + "first.dat"), std::string("i\x07\x00\x00\x00unclosed", 13));
  ouf.close();
  EXPECT_EQ(read_file(dir + "second.dat"), std::string("i\x08\x00\x00\x00", 5));
}

TEST_F(OufTest, ExistingLongerFileIsTruncated) {
  testing_support::write_file(dir + "old.dat", std::string(100, 'z'));
  ASSERT_EQ(ouf_open(dir + "old.dat", kind_binary, 900, "no-copyright-string"), 1);
  ouf.close();
  EXPECT_EQ(read_file(dir + "old.dat").size(), 5u);
}

TEST_F(OufTest, FatalAlerts) {
  EXPECT_EXIT(ouf_open(dir + "x.dat", 10002, 1, "no-copyright-string"),
              ::testing::ExitedWithCode(1), "Bad ouf_open type!");
  std::string ok = "/nonexistent-" + std::string(499 - 13, 'a');
  ASSERT_EQ(ok.size(), 499u);
  EXPECT_EQ(ouf_open(ok, kind_text, 1, "no-copyright-string"),
            0);  // no such folder: alert, no exit
  EXPECT_EXIT(ouf_open(ok + "a", kind_text, 1, "no-copyright-string"), ::testing::ExitedWithCode(1),
              "String too long!");
}

}  // namespace
