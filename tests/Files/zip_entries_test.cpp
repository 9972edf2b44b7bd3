// The table of contents of archives made by Info-ZIP and Python's zipfile:
// names, sizes, links and folders, and archives that are no archive or hold
// more entries than a caller takes.
#include "Files/zip_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

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
  EXPECT_EQ(zip_list_entries(dir + "not.zip", entries), 20001);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(zip_list_entries(dir + "missing.zip", entries), 20001);
  run_command("cd '" + dir +
              "' && python3 -c \"import zipfile\nz = zipfile.ZipFile('many.zip', 'w')\n"
              "for i in range(5): z.writestr('f%d' % i, 'x')\nz.close()\"");
  EXPECT_EQ(zip_list_entries(dir + "many.zip", entries, 5), 0);
  EXPECT_EQ(entries.size(), 5u);
  EXPECT_NE(zip_list_entries(dir + "many.zip", entries, 4), 0);
  EXPECT_TRUE(entries.empty());
}

}  // namespace
