// The scan of the scenery folders and the library file format, on trees of
// packages made in a scratch folder that serves as the application's folder.
// Region bitmaps that the image reader must read are tested with the reader,
// in tests/TEX/region_bitmap_test.cpp.
#include "Files/dsf_scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <iterator>
#include <string>
#include <vector>

#include "core/globals.h"
#include "Files/dsf_library.h"
#include "Files/dsf_library_file.h"
#include "tests/Files/scan_fixture.h"
#include "tests/Files/scenery_fixture.h"
#include "tests/support/test_support.h"

namespace {

using scan_testing::kHeader;
using scan_testing::ScanTest;
using scan_testing::strings;
using testing_support::run_command;
using testing_support::write_file;

// [SECTION] Packages and their order

TEST_F(ScanTest, PriorityOrderLinksAndTheLog) {
  for (const char* name : {"B", "A", "-global terrain-", "-global overlays-"})
    package(std::string("Custom Scenery/") + name, nullptr);
  for (const char* name : {"Y", "X"})
    package(std::string("Resources/default scenery/") + name, nullptr);
  // A package linked in from elsewhere and one named like a text file count;
  // files, links to files and broken links do not.
  package("elsewhere", nullptr);
  ASSERT_EQ(symlink((dir + "elsewhere").c_str(), "Custom Scenery/Linked"), 0);
  package("Custom Scenery/Roads.txt", nullptr);
  write_file("Custom Scenery/notes.txt", "x");
  ASSERT_EQ(symlink("notes.txt", "Custom Scenery/file-link"), 0);
  ASSERT_EQ(symlink("missing", "Custom Scenery/gone"), 0);

  DSF_ScanSceneryFolder();
  EXPECT_EQ(scenery_packages,
            (strings{"Custom Scenery/A/", "Custom Scenery/B/", "Custom Scenery/Linked/",
                     "Custom Scenery/Roads.txt/", "Custom Scenery/-global overlays-/",
                     "Custom Scenery/-global terrain-/", "Resources/default scenery/X/",
                     "Resources/default scenery/Y/"}));
  EXPECT_EQ(package_is_custom, (std::vector<int>{1, 1, 1, 1, 1, 1, 0, 0}));
  EXPECT_EQ(package_problems, (std::vector<int>(8, 0)));
  EXPECT_NE(log().find("I found the following scenery packages (prioritized in this order):\n"
                       "  0 Custom Scenery/A/\n"
                       "  1 Custom Scenery/B/\n"
                       "  2 Custom Scenery/Linked/\n"
                       "  3 Custom Scenery/Roads.txt/\n"
                       "  4 Custom Scenery/-global overlays-/\n"
                       "  5 Custom Scenery/-global terrain-/\n"
                       "  6 Resources/default scenery/X/\n"
                       "  7 Resources/default scenery/Y/\n\n"),
            std::string::npos)
      << log();
}

TEST_F(ScanTest, LinkedPackageIsReadAndRescanReplacesEverything) {
  package("elsewhere", (std::string(kHeader) + "EXPORT lib/far.obj far.obj\n").c_str());
  ASSERT_EQ(symlink((dir + "elsewhere").c_str(), "Custom Scenery/Linked"), 0);
  package("Custom Scenery/Bad", "I\n900 version\nLIBRARY\n");
  DSF_ScanSceneryFolder();
  EXPECT_EQ(chain("lib/far.obj"), strings{"far.obj"});
  EXPECT_EQ(package_problems, (std::vector<int>{1, 0}));

  ASSERT_EQ(unlink("Custom Scenery/Linked"), 0);
  DSF_ScanSceneryFolder();
  EXPECT_TRUE(dsf_library.empty());
  EXPECT_EQ(scenery_packages, strings{"Custom Scenery/Bad/"});
  // Each scan warns once per package again: two alerts in all.
  const std::string text = log(),
                    alert = "Error loading the scenery package:\nCustom Scenery/Bad/\n";
  const size_t first = text.find(alert);
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_NE(text.find(alert, first + 1), std::string::npos) << text;
}

// [SECTION] Statements

TEST_F(ScanTest, ExportStatementsRegisterTheirEntries) {
  custom("P",
         "EXPORT lib/a.obj objects/a b.obj \n"
         "EXPORT_EXTEND lib\\ext.obj dir:sub\\x.obj\r\n"
         "EXPORT_EXCLUDE\tlib/ex.obj\tex.obj\n"
         "EXPORT_BACKUP lib/a.obj backup.obj\n"
         "EXPORT_RATIO 5 lib/r.obj five.obj\n"
         "EXPORT_RATIO -1 lib/r.obj max.obj\n"
         "EXPORT_RATIO 0 lib/r.obj none.obj\n"
         "EXPORTX lib/no.obj no.obj\n"
         "export lib/no.obj no.obj\n"
         "EXPORT\n"
         "# EXPORT lib/no.obj no.obj\n"
         "\n\n   EXPORT   lib/indented.obj   ind.obj\n"
         "REGION_DEFINE north\n"
         "REGION_RECT -180 0 179 89\n"
         "REGION north EXPORT lib/same-line.obj same.obj\n"
         "EXPORT lib/a.obj north.obj\n"
         "EXPORT lib/empty.obj\n"
         "EXPORT lib/end.obj end.obj\n"
         "EXPORT");  // a keyword without its blank at the very end
  DSF_ScanSceneryFolder();

  EXPECT_EQ(chain("lib/a.obj"), (strings{"objects/a b.obj ", "north.obj", "backup.obj"}));
  EXPECT_EQ(chain("lib/ext.obj"), strings{"dir/sub/x.obj"});
  EXPECT_EQ(chain("lib/indented.obj"), strings{"ind.obj"});
  EXPECT_EQ(chain("lib/same-line.obj"), strings{"same.obj"});
  EXPECT_EQ(chain("lib/empty.obj"), strings{""});
  EXPECT_EQ(chain("lib/end.obj"), strings{"end.obj"});
  EXPECT_EQ(chain("lib/r.obj"), (strings{"five.obj", "max.obj", "none.obj"}));
  for (const char* missing : {"lib/no.obj", "EXPORT", ""})
    EXPECT_EQ(head(missing), nullptr) << missing;

  const lib_entry* a = head("lib/a.obj");
  EXPECT_EQ(a->flags, 1u | lib_ends_at_package);
  EXPECT_EQ(a->region, nullptr);
  EXPECT_EQ(a->package, 0);
  EXPECT_NE(a->next_entry->region, nullptr);  // after REGION, every export is limited
  EXPECT_EQ(a->next_entry->next_entry->flags, 1u | lib_backup);
  EXPECT_EQ(head("lib/ext.obj")->flags, 1u);
  EXPECT_EQ(head("lib/ex.obj")->flags, 1u | lib_ends_here);
  const lib_entry* r = head("lib/r.obj");
  EXPECT_EQ(r->flags, 5u | lib_ends_at_package);
  EXPECT_EQ(r->next_entry->flags, lib_weight_mask | lib_ends_at_package);
  EXPECT_EQ(r->next_entry->next_entry->flags, 0u | lib_ends_at_package);
  EXPECT_EQ(head("lib/same-line.obj")->region, a->next_entry->region);

  // Weight 0 is never chosen and never listed.
  strings listed;
  DSF_LookupLibraryResourceAnywhereMultiple("lib/r.obj", listed);
  EXPECT_EQ(std::count(listed.begin(), listed.end(), "Custom Scenery/P/none.obj"), 0);
  EXPECT_TRUE(has_report(log(), "Custom Scenery/P/library.txt", 338,
                         "Library error: you cannot have a ratio of more than 2^24 lib items for "
                         "max.obj -> lib/r.obj."))
      << log();
}

TEST_F(ScanTest, EveryMessageNamesItsFileAndLine) {
  const struct {
    const char* package;
    std::string library;  // whole file
    int line;             // 0: a message of our own
    std::string message;
  } cases[] = {
      {"01", "I\n900 version\nLIBRARY\nEXPORT a b\n", 247,
       "Incorrect version for scenery library file.  Will skip."},
      {"02", "A\n800\nLIBRARX\n", 247, "Incorrect version for scenery library file.  Will skip."},
      {"03", std::string(kHeader) + "REGION nowhere\n", 356,
       "REGION nowhere - region unknown.  Ingoring"},
      {"04", std::string(kHeader) + "REGION_DEFINE r\nREGION_DEFINE r\n", 368,
       "REGION_DEFINE r - region already defined.  Ignoring."},
      {"05", std::string(kHeader) + "REGION_DEFINE r\nREGION_DEFINE r\nREGION_RECT 0 0 1 1\n", 382,
       "REGION_RECT command used but no region has been defined."},
      {"06", std::string(kHeader) + "REGION_DEFINE r\nREGION_RECT 0 0 180 0\n", 391,
       "The boundaries to a REGION_RECT command are out of range: 180,90->360,90"},
      {"07", std::string(kHeader) + "REGION_DEFINE r\nREGION_RECT 2147483647 -2147483648 0 0\n",
       391,
       "The boundaries to a REGION_RECT command are out of range: 2147483827,-2147483558->180,90"},
      {"08", std::string(kHeader) + "REGION_DEFINE r\nREGION_RECT 0 5 0 4\n", 391,
       "The boundaries to a REGION_RECT command are out of range: 180,95->180,94"},
      {"09", std::string(kHeader) + "REGION_BITMAP map.png\n", 406,
       "REGION_BITMAP used with no region defined.  REGION_BITMAP will be ignored."},
      {"10", std::string(kHeader) + "REGION_DEFINE r\nREGION_BITMAP missing.png\n", 427,
       "Unable to load bitmap file 'missing.png' for REGION_BITMAP command - will skip."},
      {"12", std::string(kHeader) + "EXPORT_RATIO 16777216 lib/big.obj big.obj\n", 338,
       "Library error: you cannot have a ratio of more than 2^24 lib items for big.obj -> "
       "lib/big.obj."},
      {"13",
       std::string(kHeader) + "REGION_DEFINE r\nREGION_BITMAP " + std::string(480, 'b') + ".png\n",
       0,
       "The path 'Custom Scenery/13/" + std::string(480, 'b') +
           ".png' holds a ':' or a '\\' or is over 499 characters.  Will skip."},
      {"colon:14", std::string(kHeader) + "EXPORT lib/c.obj c.obj\n", 0,
       "The path 'Custom Scenery/colon:14/library.txt' holds a ':' or a '\\' or is over 499 "
       "characters.  Will skip."},
      {"back\\15", std::string(kHeader) + "EXPORT lib/c.obj c.obj\n", 0,
       "The path 'Custom Scenery/back\\15/library.txt' holds a ':' or a '\\' or is over 499 "
       "characters.  Will skip."},
  };
  for (const auto& c : cases)
    package(std::string("Custom Scenery/") + c.package, c.library.c_str());
  DSF_ScanSceneryFolder();

  const std::string text = log();
  for (const auto& c : cases) {
    const std::string file = std::string("Custom Scenery/") + c.package + "/library.txt";
    EXPECT_TRUE(has_report(text, file, c.line, c.message)) << c.package << "\n" << text;
    EXPECT_NE(text.find("Error loading the scenery package:\nCustom Scenery/" +
                        std::string(c.package) + "/\n"),
              std::string::npos)
        << c.package;
  }
  EXPECT_EQ(head("lib/c.obj"), nullptr) << "a package with an unusable path is not read";
  EXPECT_NE(head("lib/big.obj"), nullptr);
}

// [SECTION] Regions

TEST_F(ScanTest, RectanglesCoverWholeDegreesBothEndsIncluded) {
  custom("P",
         "REGION_DEFINE world\nREGION_RECT -180 -90 179 89\n"
         "REGION_DEFINE small\nREGION_RECT -1 -2 1 -+2\n"  // "+" undoes the "-"
         "REGION world\nEXPORT lib/w.obj w.obj\n"
         "REGION small\nEXPORT lib/s.obj s.obj\n");
  DSF_ScanSceneryFolder();
  const lib_region* world = head("lib/w.obj")->region;
  const lib_region* small = head("lib/s.obj")->region;
  ASSERT_NE(world, nullptr);
  ASSERT_NE(small, nullptr);
  EXPECT_EQ(cells_set(world), 64800);
  EXPECT_EQ(world->name, "world");
  EXPECT_EQ(cells_set(small), 3 * 5);
  EXPECT_EQ(cell(small, -1, -2), 1);
  EXPECT_EQ(cell(small, 1, 2), 1);
  EXPECT_EQ(cell(small, 2, 2), 0);
  EXPECT_EQ(cell(small, 1, 3), 0);

  std::string name = "lib/s.obj";
  EXPECT_EQ(DSF_LookupLibraryResource(0, 0, name, 3), 1);
  EXPECT_EQ(name, "Custom Scenery/P/s.obj");
  name = "lib/s.obj";
  EXPECT_EQ(DSF_LookupLibraryResource(2, 0, name, 3), 0);
}

TEST_F(ScanTest, RegionNamesStayInTheirFileButRegionsLive) {
  custom("A", "REGION_DEFINE r\nREGION_RECT 10 10 10 10\nREGION r\nEXPORT lib/a.obj a.obj\n");
  custom("B", "REGION r\nEXPORT lib/b.obj b.obj\nREGION_DEFINE r\nREGION_RECT 20 20 20 20\n");
  DSF_ScanSceneryFolder();
  EXPECT_TRUE(has_report(log(), "Custom Scenery/B/library.txt", 356,
                         "REGION r - region unknown.  Ingoring"))
      << log();
  EXPECT_EQ(head("lib/b.obj")->region, nullptr);
  const lib_region* a = head("lib/a.obj")->region;
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(cells_set(a), 1);
  EXPECT_EQ(cell(a, 10, 10), 1) << "B's region of the same name must not touch A's";
}

// What a library file leaves behind is what its exports use: cells only for
// regions that were drawn on, no region that no export is limited to, and
// no more regions than the cap, however many the file defines.
TEST_F(ScanTest, RegionsHoldOnlyWhatTheExportsUse) {
  const auto defines = [](int from, int to, const char* each) {
    std::string text;
    for (int i = from; i < to; ++i) {
      std::string line = each;
      for (size_t at; (at = line.find('#')) != std::string::npos;)
        line.replace(at, 1, std::to_string(i));
      text += line;
    }
    return text;
  };
  const int cap = DSF_max_file_regions;
  const struct {
    const char* what;
    std::string body;
    size_t regions, cells;  // what stays after the scan
    int cap_reports;
  } cases[] = {
      {"defined only, several a line", defines(0, 600, "REGION_DEFINE a# REGION_DEFINE b# \n"), 0,
       0, 1},
      {"drawn, no export", defines(0, 40, "REGION_DEFINE r#\nREGION_RECT -10 -10 10 10\n"), 0, 0,
       0},
      {"used, never drawn", defines(0, 3, "REGION_DEFINE r#\nREGION r#\nEXPORT lib/#.obj #.obj\n"),
       3, 0, 0},
      {"drawn and used, drawn only, used only",
       "REGION_DEFINE drawn\nREGION_RECT 0 0 0 0\nREGION drawn\nEXPORT lib/d.obj d.obj\n"
       "REGION_DEFINE spare\nREGION_RECT 0 0 5 5\n"
       "REGION_DEFINE bare\nREGION bare\nEXPORT lib/b.obj b.obj\n",
       2, lib_region_cells, 0},
      {"past the cap",
       defines(0, cap + 20,
               "REGION_DEFINE r#\nREGION_RECT 1 1 1 1\nREGION_BITMAP none.png\nREGION r#\n"
               "EXPORT lib/#.obj #.obj\n"),
       size_t(cap), size_t(cap) * lib_region_cells, 1},
  };
  ASSERT_EQ(mkdir("Custom Scenery/P", 0755), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const size_t start = log().size();
    write_file("Custom Scenery/P/library.txt", kHeader + c.body);
    DSF_ScanSceneryFolder();
    EXPECT_EQ(DSF_RegionCount(), c.regions);
    EXPECT_EQ(DSF_RegionCellBytes(), c.cells);
    EXPECT_TRUE(dsf_regions.empty());
    const std::string text = log().substr(start);
    size_t reports = 0;
    for (size_t at = text.find("a library file may define at most"); at != std::string::npos;
         at = text.find("a library file may define at most", at + 1))
      ++reports;
    EXPECT_EQ(reports, size_t(c.cap_reports)) << text.substr(0, 2000);
  }
  // Past the cap the exports still register; the dropped regions' drawing
  // statements are not reported one by one, and each kept region serves its
  // own export.
  const std::string text = log();
  EXPECT_TRUE(has_report(text, "Custom Scenery/P/library.txt", 0,
                         "REGION_DEFINE r" + std::to_string(cap) +
                             " - a library file may define at most " + std::to_string(cap) +
                             " regions.  Ignoring this and every later region of the file."))
      << text.substr(0, 2000);
  EXPECT_EQ(text.find("REGION_RECT command used but no region"), std::string::npos);
  EXPECT_EQ(text.find("REGION_BITMAP used with no region"), std::string::npos);
  EXPECT_NE(head(("lib/" + std::to_string(cap + 19) + ".obj").c_str()), nullptr);
  std::string name = "lib/0.obj";
  EXPECT_EQ(DSF_LookupLibraryResource(1, 1, name, 0), 1);
  EXPECT_EQ(name, "Custom Scenery/P/0.obj");
  name = "lib/0.obj";
  EXPECT_EQ(DSF_LookupLibraryResource(2, 1, name, 0), 0);
}

}  // namespace
