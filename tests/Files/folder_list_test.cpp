// Folder listing on a temporary tree.
#include "Files/folder_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "core/commands.h"
#include "core/globals.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

using testing_support::write_file;

namespace {

class FolderListTest : public testing_support::TempFolderTest {
 protected:
  FolderListTest() : TempFolderTest("folder") {}

  void file(const std::string& name) { write_file(dir + name, "x"); }
  void folder(const std::string& name) { ASSERT_EQ(mkdir((dir + name).c_str(), 0755), 0); }

  // "name:kind name:kind ..." of a listing, checking the count it returns.
  std::string list(int mode) {
    std::vector<std::string> names{"stale"};
    std::vector<int> kinds{99};
    int n = opensave_getitems(dir, mode, names, kinds);
    EXPECT_EQ(n, static_cast<int>(names.size()));
    EXPECT_EQ(names.size(), kinds.size());
    std::string out;
    for (size_t i = 0; i < names.size(); ++i)
      out += (i ? " " : "") + names[i] + ":" + std::to_string(kinds[i]);
    return out;
  }
};

TEST_F(FolderListTest, ModesFilterTheExampleFolder) {
  file("b.txt");
  file("A.png");
  file(".hidden.txt");
  folder("c");
  const std::pair<int, const char*> cases[] = {
      {list_every_kind, "A.png:2 b.txt:19 c:1"},
      {19, "b.txt:19 c:1"},
      {list_panel_images, "A.png:2 c:1"},
      {7, "c:1"},
  };
  for (const auto& c : cases) EXPECT_EQ(list(c.first), c.second) << "mode " << c.first;
}

TEST_F(FolderListTest, OrderIgnoresCaseAndBreaksTiesByBytes) {
  for (const char* name : {"c", "B", "a", "A", "ab", "\xc3\xa9t\xc3\xa9", "Ab"}) file(name);
  // Bytes of 128 and above sort first; "A" and "a" both exist on Linux.
  EXPECT_EQ(list(list_every_kind), "\xc3\xa9t\xc3\xa9:0 A:0 a:0 Ab:0 ab:0 B:0 c:0");
}

TEST_F(FolderListTest, ExtensionsDecideKindsForFilesAndFolders) {
  file("m.ObJ");
  file("n.OBJ");
  file("obj");  // shorter than an extension
  folder("scenery.dsf");
  EXPECT_EQ(list(0), "m.ObJ:7 n.OBJ:7 obj:0 scenery.dsf:17");
  EXPECT_EQ(list(7), "m.ObJ:7 n.OBJ:7");
}

TEST_F(FolderListTest, LinkToFolderIsNoFolder) {
  folder("real");
  ASSERT_EQ(symlink("real", (dir + "alias").c_str()), 0);
  ASSERT_EQ(symlink("missing", (dir + "broken").c_str()), 0);
  EXPECT_EQ(list(0), "alias:0 broken:0 real:1");
  EXPECT_EQ(list(19), "real:1");
}

TEST_F(FolderListTest, PanelImagesAreDroppedInImageMode) {
  const std::string folder_path = "Resources/bitmaps/cockpit/";
  int kind = 0;
  EXPECT_EQ(
      opensave_takeit("Resources/bitmaps/COCKPIT/-panels-/", "panel.png", list_panel_images, kind),
      0);
  for (const char* name : {"gauge-1.png", "gauge-4.BMP"}) {
    kind = 0;
    EXPECT_EQ(opensave_takeit(folder_path, name, list_panel_images, kind), 0) << name;
  }
  kind = 0;
  EXPECT_EQ(opensave_takeit(folder_path, "gauge-5.png", list_panel_images, kind), 1);
  EXPECT_EQ(kind, 2);
  kind = 0;
  EXPECT_EQ(opensave_takeit(folder_path, "gauge-1.png", list_every_kind, kind), 1);
}

TEST_F(FolderListTest, MissingFolderListsNothing) {
  std::vector<std::string> names{"stale"};
  std::vector<int> kinds{1};
  EXPECT_EQ(opensave_getitems(dir + "nowhere/", list_every_kind, names, kinds), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(kinds.empty());
}

TEST_F(FolderListTest, CommandModesListCommandPaths) {
  commands_reset();
  cmnd.add_cmd("view/zoom/in", "Zoom in");
  cmnd.add_cmd("view/zoom/out", "Zoom out");
  cmnd.add_cmd("view/reset", "Reset");
  std::vector<std::string> names;
  std::vector<int> kinds;
  ASSERT_EQ(opensave_getitems("view/", list_command_paths, names, kinds), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"reset", "zoom"}));
  EXPECT_EQ(kinds, (std::vector<int>{0, 1}));
  EXPECT_EQ(opensave_getitems("view/", list_nothing, names, kinds), 0);
  commands_reset();
}

TEST(FolderListDeathTest, PathWithoutTrailingSlashIsFatal) {
  std::vector<std::string> names;
  std::vector<int> kinds;
  EXPECT_EXIT(opensave_getitems("some/folder", list_every_kind, names, kinds),
              ::testing::ExitedWithCode(1), "Working path does not appear to be a directory!");
}

}  // namespace
