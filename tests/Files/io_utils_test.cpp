// The file layer on a scratch tree with a linked folder, links to a file and
// a folder, a dangling link and names that differ only in letter case.
#include "Files/io_utils.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files/xmap.h"
#include "core/globals.h"
#include "Files/zip.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::write_file;

namespace {

class IoUtilsTest : public testing_support::TempFolderTest {
 protected:
  IoUtilsTest() : TempFolderTest("io") {}
  // dir/            real/file.txt  real/Sub/Data.TXT  empty/
  //   to_file -> real/file.txt   to_real -> real   dangling -> missing.txt
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempFolderTest::SetUp());
    g_case_sensitive = 0;
    io_utils_reset();
    ASSERT_EQ(mkdir((dir + "real").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "real/Sub").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir + "empty").c_str(), 0755), 0);
    write_file(dir + "real/file.txt", "file");
    write_file(dir + "real/Sub/Data.TXT", "data");
    ASSERT_EQ(symlink("real/file.txt", (dir + "to_file").c_str()), 0);
    ASSERT_EQ(symlink("real", (dir + "to_real").c_str()), 0);
    ASSERT_EQ(symlink("missing.txt", (dir + "dangling").c_str()), 0);
  }
};

TEST_F(IoUtilsTest, ExistenceTests) {
  struct Case {
    const char* path;
    int file, folder, link;
  } cases[] = {
      {"real/file.txt", 1, 0, 0},    {"real", 0, 1, 0},     {"real/", 0, 1, 0},
      {"to_file", 1, 0, 1},          {"to_real", 0, 1, 1},  {"to_real/", 0, 1, 0},
      {"to_real/file.txt", 1, 0, 0}, {"dangling", 0, 0, 1}, {"missing", 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::string p = dir + c.path;
    EXPECT_EQ(file_exists(p), c.file) << c.path;
    EXPECT_EQ(dir_exists(p), c.folder) << c.path;
    EXPECT_EQ(is_sim_link(p.c_str(), nullptr), c.link) << c.path;
  }
}

TEST_F(IoUtilsTest, LinkTextAndUntouchedOutString) {
  std::string text = "untouched";
  EXPECT_EQ(is_sim_link((dir + "dangling").c_str(), &text), 1);
  EXPECT_EQ(text, "missing.txt");
  EXPECT_EQ(is_sim_link((dir + "to_real").c_str(), &text), 1);
  EXPECT_EQ(text, "real");
  text = "untouched";
  EXPECT_EQ(is_sim_link((dir + "real/file.txt").c_str(), &text), 0);
  EXPECT_EQ(is_sim_link((dir + "nothing").c_str(), &text), 0);
  EXPECT_EQ(text, "untouched");

  // The longest link text the system allows comes back whole.
  std::string longest(PATH_MAX - 1, 'x');
  for (size_t i = 200; i < longest.size(); i += 200) longest[i] = '/';
  ASSERT_EQ(symlink(longest.c_str(), (dir + "long").c_str()), 0);
  EXPECT_EQ(is_sim_link((dir + "long").c_str(), &text), 1);
  EXPECT_EQ(text, longest);
}

// A FIFO named like a file we read or write would hold its open() for
// ever: every reader counts it as missing and every writer refuses it, at
// once. An alarm fails the test instead of letting it hang.
TEST_F(IoUtilsTest, FifosAreNeverWaitedOn) {
  const std::string fifo = dir + "real/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  write_file(dir + "real/forked", "data");
  ASSERT_EQ(mkfifo((dir + "real/._forked").c_str(), 0644), 0);
  alarm(30);

  errno = 0;
  EXPECT_EQ(UTL_fopen_regular(fifo.c_str(), "rb"), nullptr);
  EXPECT_EQ(errno, ENXIO);
  EXPECT_EQ(UTL_fopen_regular(fifo.c_str(), "wb"), nullptr);
  EXPECT_EQ(UTL_make_regular(fifo.c_str()), ENXIO);
  xmap_class map(fifo.c_str());
  EXPECT_EQ(map.map_begin, nullptr);
  std::string md5;
  EXPECT_EQ(calc_file_md5(fifo, md5), kFileCannotOpen);
  EXPECT_EQ(make_file_large_address_aware(fifo), ENXIO);
  EXPECT_EQ(file_to_zip(fifo, dir + "fifo.zip"), kFileCannotOpen);
  unsigned char* fork = nullptr;
  size_t fork_length = 1;
  unsigned char finder[16];
  EXPECT_EQ(read_resource_fork(dir + "real/forked", &fork, &fork_length, finder), 0);
  EXPECT_EQ(fork, nullptr);
  EXPECT_EQ(fork_length, 0u);
  alarm(0);
}

TEST_F(IoUtilsTest, DeleteFile) {
  EXPECT_EQ(delete_file(""), 2);
  EXPECT_EQ(sErrLine, -1);
  EXPECT_EQ(delete_file(dir + "real/"), ENOTEMPTY);
  EXPECT_EQ(dir_exists(dir + "real"), 1);
  EXPECT_NE(sErrFile.find("io_utils"), std::string::npos);
  EXPECT_GT(sErrLine, 0);
  EXPECT_EQ(delete_file(dir + "empty/"), 0);
  EXPECT_EQ(dir_exists(dir + "empty"), 0);
  EXPECT_EQ(delete_file(dir + "to_real"), 0);  // the link goes, its folder stays
  EXPECT_EQ(file_exists(dir + "real/file.txt"), 1);
  EXPECT_EQ(delete_file(dir + "real/file.txt"), 0);
  EXPECT_EQ(delete_file(dir + "real/file.txt"), ENOENT);
  EXPECT_EQ(show_del_err(ENOENT), 0);
}

TEST_F(IoUtilsTest, MakeAndRename) {
  EXPECT_EQ(make_folder(dir + "made/"), 0);
  EXPECT_EQ(dir_exists(dir + "made"), 1);
  EXPECT_EQ(make_folder(dir + "made"), EEXIST);
  EXPECT_EQ(make_folder(dir + "a/b/"), ENOENT);  // only the last level is made
  EXPECT_GT(sErrLine, 0);
  struct Code {
    int code, shown;
  } codes[] = {{0, 0}, {EEXIST, 0}, {kMacDuplicateName, 0}, {ENOENT, 1}, {EACCES, 1}};
  for (const Code& c : codes) EXPECT_EQ(show_make_dir_err(c.code), c.shown) << c.code;

  EXPECT_EQ(rename_file(dir + "real/", "file.txt", "renamed.txt"), 0);
  EXPECT_EQ(file_exists(dir + "real/renamed.txt"), 1);
  EXPECT_EQ(file_exists(dir + "real/file.txt"), 0);
  io_utils_reset();
  EXPECT_EQ(rename_file(dir + "real/", "file.txt", "again.txt"), ENOENT);
  EXPECT_GT(sErrLine, 0);
}

// What has the new name already stays, whatever it is, and so does what
// was to be renamed.
TEST_F(IoUtilsTest, RenameNeverReplaces) {
  struct {
    const char* from;  // made beside dir + "taken", in dir + "r/"
    const char* taken;
  } cases[] = {{"folder/", "empty folder/"},
               {"folder/", "file"},
               {"file", "other file"},
               {"file", "empty folder/"},
               {"folder/", "link"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.from) + " onto " + c.taken);
    testing_support::run_command("rm -rf '" + dir + "r' && mkdir -p '" + dir + "r'");
    const std::string r = dir + "r/";
    auto make = [&](const std::string& what, const std::string& name) {
      if (what.back() == '/')
        ASSERT_EQ(mkdir((r + name).c_str(), 0755), 0);
      else if (what == "link")
        ASSERT_EQ(symlink("somewhere", (r + name).c_str()), 0);
      else
        write_file(r + name, what);
    };
    make(c.from, "old");
    if (std::string(c.from) == "folder/") write_file(r + "old/inside", "inside");
    make(c.taken, "new");
    const std::string before =
        testing_support::run_command("cd '" + r + "' && find . -printf '%p %y %s %l\\n' | sort");
    EXPECT_EQ(rename_file(r, "old", "new"), EEXIST);
    EXPECT_EQ(
        testing_support::run_command("cd '" + r + "' && find . -printf '%p %y %s %l\\n' | sort"),
        before);
  }
}

TEST_F(IoUtilsTest, CaseRepair) {
  std::string wrong = dir + "REAL/sub/data.txt";
  EXPECT_EQ(file_exists(wrong), 0);  // no repair unless the volume is case-sensitive
  g_case_sensitive = 1;
  EXPECT_EQ(file_exists(wrong), 1);
  EXPECT_EQ(dir_exists(dir + "Real/SUB/"), 1);

  struct Case {
    std::string given, repaired;
  } cases[] = {
      {dir + "REAL/sub/data.txt", dir + "real/Sub/Data.TXT"},
      {dir + "Real/nomatch/DATA.txt", dir + "real/nomatch/DATA.txt"},  // rest stays as given
      {dir + "real/file.txt", dir + "real/file.txt"},
  };
  for (const Case& c : cases) {
    std::string buf = c.given;
    findPath(&buf[0]);
    EXPECT_EQ(buf, c.repaired);
  }

  // Both spellings present: the exact one is kept rather than whichever the
  // folder lists first.
  ASSERT_EQ(mkdir((dir + "Real").c_str(), 0755), 0);
  std::string buf = dir + "real/FILE.txt";
  findPath(&buf[0]);
  EXPECT_EQ(buf, dir + "real/file.txt");

  ASSERT_EQ(chdir((dir + "real").c_str()), 0);
  buf = "sub/data.txt";
  findPath(&buf[0]);
  EXPECT_EQ(buf, "Sub/Data.TXT");
}

TEST_F(IoUtilsTest, FileReferences) {
  FSRef ref;
  char resolved[PATH_MAX];
  ASSERT_NE(realpath(dir.c_str(), resolved), nullptr);
  std::string canon = std::string(resolved) + "/";

  // A linked folder in the middle resolves; the link at the end stays.
  EXPECT_EQ(FilePathToFSRefAndName((dir + "to_real/file.txt").c_str(), &ref, nullptr), 0);
  EXPECT_EQ(ref.path, canon + "real/file.txt");
  EXPECT_EQ(FilePathToFSRefAndName((dir + "to_file").c_str(), &ref, nullptr), 0);
  EXPECT_EQ(ref.path, canon + "to_file");
  EXPECT_EQ(FilePathToFSRefAndName((dir + "missing").c_str(), &ref, nullptr), kMacFileNotFound);

  // With a name record the object may be new: the reference is its folder.
  HFSUniStr255 name;
  EXPECT_EQ(FilePathToFSRefAndName((dir + "to_real/new file/").c_str(), &ref, &name), 0);
  EXPECT_EQ(ref.path, canon + "to_real");  // the folder's own link is kept too
  std::string leaf(name.unicode, name.unicode + name.length);
  EXPECT_EQ(leaf, "new file/");
  EXPECT_EQ(FilePathToFSRefAndName((dir + "nofolder/new").c_str(), &ref, &name), kMacFileNotFound);

  FSSpec file_spec;
  std::string back;
  EXPECT_EQ(FilePathToFSSpec((dir + "to_real/Sub/").c_str(), file_spec), 0);
  EXPECT_EQ(FSSpecToFilePath(file_spec, back), 0);
  EXPECT_EQ(back, canon + "real/Sub");
  EXPECT_EQ(FSRefToFilePath(file_spec, back), 0);
  EXPECT_EQ(back, canon + "real/Sub");
  // ':' is a file-name byte here; colon-style parent steps still fold away.
  write_file(dir + "a:c", "");
  EXPECT_EQ(FilePathToFSSpec((dir + "a:b::c").c_str(), file_spec), 0);
  EXPECT_EQ(file_spec.path, canon + "a:c");
  EXPECT_EQ(FilePathToFSSpec((dir + "missing").c_str(), file_spec), kMacFileNotFound);
}

TEST_F(IoUtilsTest, NativePathForm) {
  ASSERT_EQ(chdir(dir.c_str()), 0);
  char cwd[PATH_MAX];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  struct Case {
    std::string given, converted;
  } cases[] = {
      {"real/Sub/", std::string(cwd) + "/real/Sub/"},
      {"real/file.txt", std::string(cwd) + "/real/file.txt"},
      {"/abs/folder/", "/abs/folder/"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string p = c.given;
    ConvertPathToCFM(p);
    EXPECT_EQ(p, c.converted);
  }
}

TEST_F(IoUtilsTest, PathLengthLimit) {
  g_case_sensitive = 1;  // file_exists copies the path only on such a volume
  std::string ok = dir + std::string(499 - dir.size(), 'a');
  ASSERT_EQ(ok.size(), 499u);
  EXPECT_EQ(file_exists(ok), 0);
  EXPECT_EQ(is_sim_link(ok.c_str(), nullptr), 0);
  std::string too_long = ok + "a";
  EXPECT_EXIT(file_exists(too_long), ::testing::ExitedWithCode(1), "String too long!");
  EXPECT_EXIT(dir_exists(too_long), ::testing::ExitedWithCode(1), "String too long!");
  EXPECT_EXIT(is_sim_link(too_long.c_str(), nullptr), ::testing::ExitedWithCode(1),
              "String too long!");
  EXPECT_EXIT(make_file_executable(too_long.c_str()), ::testing::ExitedWithCode(1),
              "String too long!");
  // app_path counts: a short path behind a long prefix is too long as well.
  EXPECT_EXIT(
      {
        app_path = ok;
        is_sim_link("b", nullptr);
      },
      ::testing::ExitedWithCode(1), "String too long!");
}

}  // namespace
