// The table of contents of archives made by Info-ZIP and Python's zipfile:
// names, sizes, links and folders, and archives that are no archive or hold
// more entries than a caller takes; and unpacking an archive that must hold
// one expected file.
#include "Files/zip_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::read_file;
using testing_support::run_command;
using testing_support::write_file;

namespace {

class ZipEntries : public testing_support::TempFolderTest {
 protected:
  ZipEntries() : TempFolderTest("zip-entries") {}
};

TEST_F(ZipEntries, NamesSizesLinksAndFolders) {
  write_file(dir + "a.txt", std::string(5000, 'a'));
  run_command("cd '" + dir + "' && mkdir sub && ln -s a.txt link && zip -qy t.zip a.txt link sub");
  std::vector<zip_entry_info> entries;
  ASSERT_EQ(zip_list_entries(dir + "t.zip", entries), 0);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "a.txt");
  EXPECT_EQ(entries[0].uncompressed_size, 5000u);
  EXPECT_LT(entries[0].compressed_size, 5000u);
  EXPECT_FALSE(entries[0].is_link || entries[0].is_folder);
  EXPECT_EQ(entries[1].name, "link");
  EXPECT_TRUE(entries[1].is_link);
  EXPECT_EQ(entries[1].uncompressed_size, 5u);  // the link's text
  EXPECT_EQ(entries[2].name, "sub/");
  EXPECT_TRUE(entries[2].is_folder);
}

TEST_F(ZipEntries, NoArchiveAndTooManyEntries) {
  std::vector<zip_entry_info> entries(1);
  write_file(dir + "not.zip", "<html>not an archive</html>");
  EXPECT_EQ(zip_list_entries(dir + "not.zip", entries), kZipCannotOpen);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(zip_list_entries(dir + "missing.zip", entries), kZipCannotOpen);
  run_command("cd '" + dir +
              "' && python3 -c \"import zipfile\nz = zipfile.ZipFile('many.zip', 'w')\n"
              "for i in range(5): z.writestr('f%d' % i, 'x')\nz.close()\"");
  EXPECT_EQ(zip_list_entries(dir + "many.zip", entries, 5), 0);
  EXPECT_EQ(entries.size(), 5u);
  EXPECT_NE(zip_list_entries(dir + "many.zip", entries, 4), 0);
  EXPECT_TRUE(entries.empty());
}

// Archives from Python's zipfile: every shape but one plain file of the
// expected name within the cap is refused, and nothing of it is written; an
// older file of the expected name is gone either way.
TEST_F(ZipEntries, OnlyTheOneExpectedFileIsUnpacked) {
  struct {
    const char* entries;  // Python: a list of (ZipInfo or name, text)
    const char* wanted;
    int result;
    const char* listing;  // what the folder holds afterwards
  } cases[] = {
      {"[('directory.txt', 'x' * 100)]", "directory.txt", 0, "directory.txt\n"},
      {"[('installer', 'x' * 100)]", "", 0, "directory.txt\ninstaller\n"},
      {"[('directory.txt', 'x' * 101)]", "directory.txt", kZipCannotRead, ""},
      {"[('dir.txt', 'x')]", "directory.txt", kZipCannotRead, ""},
      {"[('directory.txt', 'x'), ('other', 'y')]", "directory.txt", kZipCannotRead, ""},
      {"[('directory.txt', 'x'), ('__MACOSX/._directory.txt', 'y')]", "directory.txt",
       kZipCannotRead, ""},
      {"[('sub/directory.txt', 'x')]", "directory.txt", kZipCannotRead, ""},
      {"[('sub/installer', 'x')]", "", kZipCannotRead, "directory.txt\n"},
      {"[('directory.txt/', '')]", "directory.txt", kZipCannotRead, ""},
      {"[(link('directory.txt'), 'elsewhere')]", "directory.txt", kZipCannotRead, ""},
      {"[(link('installer'), '/bin/sh')]", "", kZipCannotRead, "directory.txt\n"},
      {"[]", "directory.txt", kZipCannotOpen, ""},  // no entry: minizip opens no archive
  };
  std::string script =
      "import zipfile\n"
      "def link(n):\n  i = zipfile.ZipInfo(n)\n  i.external_attr = 0xA1ED0000\n  return i\n";
  int k = 0;
  for (const auto& c : cases)
    script += "z = zipfile.ZipFile('" + std::to_string(k++) + ".zip', 'w')\nfor n, t in " +
              c.entries + ": z.writestr(n, t)\nz.close()\n";
  write_file(dir + "make.py", script);
  ASSERT_EQ(run_command("cd '" + dir + "' && python3 make.py && echo made"), "made\n");
  k = 0;
  for (const auto& c : cases) {
    run_command("rm -rf '" + dir + "out' && mkdir '" + dir + "out'");
    write_file(dir + "out/directory.txt", "an older manifest");
    std::string name = c.wanted;
    const std::string zip = dir + std::to_string(k++) + ".zip";
    EXPECT_EQ(zip_unpack_single(zip, dir + "out/", &name, 100), c.result) << c.entries;
    EXPECT_EQ(run_command("ls -A '" + dir + "out'"), c.listing) << c.entries;
    if (c.result == 0) {
      EXPECT_EQ(read_file(dir + "out/" + name), std::string(100, 'x')) << c.entries;
      EXPECT_TRUE(c.wanted[0] == 0 || name == c.wanted);
    }
  }
  write_file(dir + "not.zip", "<html>a captive portal</html>");
  std::string name = "directory.txt";
  EXPECT_EQ(zip_unpack_single(dir + "not.zip", dir + "out/", &name, 100), kZipCannotOpen);
}

}  // namespace
