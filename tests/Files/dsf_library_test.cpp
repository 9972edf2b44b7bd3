// The scenery library's registry: chain order, the candidates of a lookup,
// the weighted choice drawn from the random table, the list lookups, and the
// reporters of scenery errors.
//
// Contents
//   [SECTION] Chains and candidates
//   [SECTION] Weighted choice
//   [SECTION] List lookups
//   [SECTION] Error reports
#include "Files/dsf_library.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/globals.h"
#include "tests/Files/scenery_fixture.h"

namespace {

using strings = std::vector<std::string>;

class LibraryTest : public SceneryFolderTest {
 protected:
  LibraryTest() : SceneryFolderTest("dsf-library") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SceneryFolderTest::SetUp());
    scenery_packages = {"Custom Scenery/A/", "Custom Scenery/B/", "Resources/default scenery/C/"};
    package_problems = {0, 0, 0};
    package_is_custom = {1, 1, 0};
  }

  static lib_entry* add(const char* name, const char* path, uint32_t flags, int package = 0,
                        lib_region* region = nullptr) {
    lib_entry* e = new lib_entry;
    e->path = path;
    e->flags = flags;
    e->package = package;
    e->region = region;
    DSF_RegisterEntry(name, e);
    return e;
  }

  static strings chain(const char* name) {
    strings paths;
    for (lib_entry* e = dsf_library.at(name); e; e = e->next_entry) paths.push_back(e->path);
    return paths;
  }

  static strings listed(const char* name) {
    strings out{"stale"};
    int found = DSF_LookupLibraryResourceAnywhereMultiple(name, out);
    EXPECT_EQ(found, out.empty() ? 0 : 1);
    return out;
  }

  static strings listed_at(int lon, int lat, const char* name) {
    strings out{"stale"};
    int found = DSF_LookupLibraryResourceMultiple(lon, lat, name, out);
    EXPECT_EQ(found, out.empty() ? 0 : 1);
    return out;
  }

  static size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
};

const uint32_t kExport = 1 | lib_ends_at_package;
const uint32_t kExtend = 1;
const uint32_t kExclude = 1 | lib_ends_here;
const uint32_t kBackup = 1 | lib_backup;

// [SECTION] Chains and candidates

TEST_F(LibraryTest, BackupsFollowRegularEntriesLatestFirst) {
  add("n", "A", kExport);
  add("n", "B1", kBackup);
  add("n", "C", kExport);
  add("n", "B2", kBackup);
  EXPECT_EQ(chain("n"), (strings{"A", "C", "B2", "B1"}));

  add("b", "B1", kBackup);
  add("b", "R", kExtend);
  add("b", "B2", kBackup);
  EXPECT_EQ(chain("b"), (strings{"R", "B2", "B1"}));
}

TEST_F(LibraryTest, EndBitsCutTheCandidates) {
  // Each package exports one name: the first package's export hides the second's.
  add("same", "a.obj", kExport, 0);
  add("same", "b.obj", kExport, 1);
  EXPECT_EQ(listed("same"), (strings{"Custom Scenery/A/a.obj"}));
  // An extending export lets the next package in; two exports of one package
  // stay together before the cut.
  add("ext", "a.obj", kExtend, 0);
  add("ext", "b.obj", kExport, 1);
  add("ext", "b2.obj", kExport, 1);
  add("ext", "c.obj", kExport, 2);
  EXPECT_EQ(listed("ext"), (strings{"Custom Scenery/A/a.obj", "Custom Scenery/B/b.obj",
                                    "Custom Scenery/B/b2.obj"}));
  add("ex", "a.obj", kExclude, 0);
  add("ex", "a2.obj", kExtend, 0);
  EXPECT_EQ(listed("ex"), (strings{"Custom Scenery/A/a.obj"}));
}

TEST_F(LibraryTest, EntriesOutsideTheirRegionArePassedOver) {
  lib_region* north = DSF_NewRegion("north");
  north->drawn_cells()[(10 + 180) * 180 + (50 + 90)] = 1;
  add("r", "north.obj", kExclude, 0, north);  // ends the list only where it applies
  add("r", "any.obj", kExtend, 1);
  add("r", "late.obj", kExtend, 2);
  EXPECT_EQ(listed_at(10, 50, "r"), (strings{"Custom Scenery/A/north.obj"}));
  EXPECT_EQ(listed_at(10, 49, "r"),
            (strings{"Custom Scenery/B/any.obj", "Resources/default scenery/C/late.obj"}));
  // Off the world no region holds the position; entries for everywhere still serve.
  for (auto pos : {std::pair<int, int>{180, 0}, {0, 90}, {-181, 50}, {10, -91}, {INT32_MIN, 0}})
    EXPECT_EQ(listed_at(pos.first, pos.second, "r").size(), 2u) << pos.first << "," << pos.second;

  // The lookup anywhere takes every entry; its list form still stops at the end bit.
  EXPECT_EQ(listed("r"), (strings{"Custom Scenery/A/north.obj"}));
  randrat[7] = 0.9f;  // pick 2 of 3
  std::string name = "r";
  ASSERT_EQ(DSF_LookupLibraryResourceAnywhere(name, 7), 1);
  EXPECT_EQ(name, "Resources/default scenery/C/late.obj");
}

// [SECTION] Weighted choice

TEST_F(LibraryTest, SeedPicksTheTableEntryAndWeightsShareThePick) {
  add("w", "three", 3 | lib_ends_at_package);
  add("w", "one", 1 | lib_ends_at_package);
  // Weights 3 and 1: picks 0 to 2 are the first, 3 the second.
  const struct {
    float r;
    const char* chosen;
  } draws[] = {
      {0.0f, "three"}, {0.3f, "three"}, {0.74f, "three"}, {0.76f, "one"}, {0.9998f, "one"}};
  for (const auto& d : draws) {
    randrat[2345] = d.r;
    std::string name = "w";
    ASSERT_EQ(DSF_LookupLibraryResource(0, 0, name, 12345), 1);
    EXPECT_EQ(name, std::string("Custom Scenery/A/") + d.chosen) << d.r;
  }
  // A negative seed counts back from the table's end.
  randrat[9999] = 0.1f;
  randrat[6352] = 0.9f;
  const std::pair<int, const char*> negative[] = {{-1, "three"}, {INT32_MIN, "one"}};
  for (const auto& n : negative) {
    std::string name = "w";
    ASSERT_EQ(DSF_LookupLibraryResource(0, 0, name, n.first), 1) << n.first;
    EXPECT_EQ(name, std::string("Custom Scenery/A/") + n.second) << n.first;
  }
}

TEST_F(LibraryTest, ChoicesFromTheStartUpTableFollowTheWeights) {
  // The table as start-up fills it; what each seed must choose follows from
  // the entry it draws: candidate i owns the picks from the weights before it.
  srand(1);
  for (float& r : randrat) r = static_cast<float>(rand()) * 4.656613e-10f * 0.9999f;
  const uint32_t weights[] = {5, 1, 2};
  const char* paths[] = {"p0", "p1", "p2"};
  for (int i = 0; i < 3; ++i) add("t", paths[i], weights[i]);
  int seen[3] = {};
  for (int seed = 0; seed < 20000; seed += 7) {
    const double pick = 8.0 * randrat[seed % 10000];
    const int expected = pick < 5 ? 0 : pick < 6 ? 1 : 2;
    std::string name = "t";
    ASSERT_EQ(DSF_LookupLibraryResource(-122, 47, name, seed), 1);
    ASSERT_EQ(name, std::string("Custom Scenery/A/") + paths[expected]) << "seed " << seed;
    std::string again = "t";
    DSF_LookupLibraryResource(-122, 47, again, seed);
    EXPECT_EQ(again, name);
    ++seen[expected];
  }
  for (int n : seen) EXPECT_GT(n, 100);  // every candidate was drawn
}

TEST_F(LibraryTest, TotalWeightBeyondThirtyTwoBits) {
  // 300 entries of the largest weight: the total passes 2^32.
  for (int i = 0; i < 300; ++i) add("heavy", ("p" + std::to_string(i)).c_str(), lib_weight_mask);
  randrat[0] = 200.5f / 300;
  std::string name = "heavy";
  ASSERT_EQ(DSF_LookupLibraryResource(0, 0, name, 0), 1);
  EXPECT_EQ(name, "Custom Scenery/A/p200");
}

TEST_F(LibraryTest, NothingToChooseLeavesTheNameAlone) {
  add("zero", "z", lib_ends_at_package);  // weight 0
  lib_region* empty = DSF_NewRegion("empty");
  add("away", "a", kExport, 0, empty);
  for (const char* n : {"zero", "away", "unknown"}) {
    std::string name = n;
    EXPECT_EQ(DSF_LookupLibraryResource(0, 0, name, 1), 0) << n;
    EXPECT_EQ(name, n);
    EXPECT_EQ(listed_at(0, 0, n), strings{}) << n;
  }
}

// [SECTION] List lookups

TEST_F(LibraryTest, ListsRepeatEachPathByItsWeight) {
  // Up to the cap of paths a list holds, and one past it.
  const struct {
    uint32_t first, second;
    size_t copies_first, copies_second;
  } cases[] = {{3, 1, 3, 1},
               {3, 0, 3, 0},
               {4, 2, 4, 2},
               {100, 50, 100, 50},
               {0, 0, 0, 0},
               {0, 7, 0, 7},
               {DSF_max_list_paths - 1, 1, DSF_max_list_paths - 1, 1},
               {DSF_max_list_paths, 1, 0, 0}};
  for (const auto& c : cases) {
    DSF_ClearLibrary();
    add("l", "first", c.first);
    add("l", "second", c.second);
    strings expected(c.copies_first, "Custom Scenery/A/first");
    expected.insert(expected.end(), c.copies_second, "Custom Scenery/A/second");
    EXPECT_EQ(listed("l"), expected) << c.first << ":" << c.second;
    EXPECT_EQ(listed_at(0, 0, "l"), expected) << c.first << ":" << c.second;
  }
}

TEST_F(LibraryTest, ListPastTheCapIsReportedNotBuilt) {
  // Past the count of paths, and past the bytes of paths with fewer of them.
  add("huge", "big.obj", lib_weight_mask, 1);
  add("huge", "small.obj", 1, 1);
  const std::string long_path(20000, 'x');
  add("long", long_path.c_str(), 1000, 2);
  add("long", "one.obj", 1, 2);
  EXPECT_EQ(listed("huge"), strings{});
  EXPECT_EQ(listed_at(0, 0, "long"), strings{});
  const std::string text = log();
  EXPECT_NE(text.find("***Error with scenery file \"Custom Scenery/B/big.obj\""), std::string::npos)
      << text;
  EXPECT_NE(text.find("  Library name huge would list 16777216 files of 402653186 bytes, more "
                      "than a lookup may hold.  Ignoring.\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("  Library name long would list 1001 files of "), std::string::npos) << text;
  EXPECT_EQ(package_problems, (std::vector<int>{0, 1, 1}));
}

// [SECTION] Error reports

TEST_F(LibraryTest, NonFatalErrorsLogEachAndWarnOncePerPackage) {
  __DSF_NonFatalError("unit.cpp", 12, "Custom Scenery/B/library.txt", "bad %s %d", "thing", 7);
  __DSF_NonFatalError("unit.cpp", 13, "Custom Scenery/B/x/y.obj", "second");
  // Shorter than a package folder but its beginning: blames that package.
  __DSF_NonFatalError("unit.cpp", 14, "Resources/default", "third");
  __DSF_NonFatalError("unit.cpp", 15, "elsewhere/z.obj", "fourth");
  __DSF_NonFatalError("unit.cpp", 16, "elsewhere/z.obj", "%s", std::string(5000, 'q').c_str());
  const std::string text = log();
  EXPECT_NE(text.find("***Error with scenery file \"Custom Scenery/B/library.txt\" (unit.cpp: "
                      "12.)\n  bad thing 7\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("(unit.cpp: 13.)\n  second\n"), std::string::npos);
  EXPECT_NE(text.find("  " + std::string(5000, 'q') + "\n"), std::string::npos)
      << "a long message is logged whole";
  EXPECT_EQ(package_problems, (std::vector<int>{0, 1, 1}));
  // One alert for B, one for C, one for each call under no package.
  EXPECT_EQ(count(text, "Error loading the scenery package:\n"), 4u) << text;
  EXPECT_EQ(count(text,
                  "Error loading the scenery package:\nCustom Scenery/B/\nThe scenery may "
                  "not look correct.\nPlease see the log.txt file for detailed error "
                  "information.\n"),
            1u);
  EXPECT_EQ(count(text, "Error loading the scenery package:\nelsewhere/z.obj\n"), 2u);
  // The fixed lines users quote: one for a package, one for a file under none.
  EXPECT_EQ(count(text, "dsf_library.cpp line 487)\n"), 2u) << text;
  EXPECT_EQ(count(text, "dsf_library.cpp line 481)\n"), 2u) << text;
}

TEST_F(LibraryTest, FatalErrorsNameThePackageAndEndTheRun) {
  const struct {
    const char* file;
    const char* alert;
    const char* line;  // the fixed line the alert names
  } cases[] = {
      {"Custom Scenery/A/library.txt",
       "Custom Scenery/A/\nNimbrel cannot run with this package installed - you may need to "
       "remove the custom  scenery package.\n",
       "dsf_library.cpp line 522)\n"},
      {"Resources/default scenery/C/t.ter",
       "Resources/default scenery/C/\nNimbrel cannot run with this package installed - You may "
       "need to reinstall Nimbrel.\n",
       "dsf_library.cpp line 522)\n"},
      {"nowhere/f.dsf", "nowhere/f.dsf\nNimbrel cannot run with this corrupt file.\n",
       "dsf_library.cpp line 516)\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EXIT(__DSF_FatalError("unit.cpp", 9, c.file, "broken %d", 3),
                ::testing::ExitedWithCode(1), "");
    const std::string text = log();
    EXPECT_NE(text.find(std::string("***Error with scenery file \"") + c.file +
                        "\" (unit.cpp: 9.)\n  broken 3\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(std::string("Error loading the scenery package:\n") + c.alert),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(c.line), std::string::npos) << text;
  }
}

}  // namespace
