// Resource location: the candidate folders of each kind in order (read back
// from the failure lines of the log), the first existing file winning, the
// library served first, and the package of a path.
#include "Files/dsf_resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/globals.h"
#include "Files/dsf_library.h"
#include "tests/Files/scenery_fixture.h"
#include "tests/support/test_support.h"

namespace {

using strings = std::vector<std::string>;

class ResourceTest : public SceneryFolderTest {
 protected:
  ResourceTest() : SceneryFolderTest("dsf-resource") {}

  void TearDown() override {
    g_case_sensitive = 0;
    SceneryFolderTest::TearDown();
  }

  // Makes the file and the folders on its way.
  static void file(const std::string& path) {
    ASSERT_EQ(testing_support::run_command("mkdir -p \"$(dirname '" + path + "')\" && touch '" +
                                           path + "' && echo ok"),
              "ok\n");
  }

  // The paths of the failure lines logged since the last call, in order;
  // each line must name the resource (and the parent, when given).
  strings tried(const std::string& name, const char* parent = nullptr) {
    const std::string text = log();
    strings out;
    std::string head = "Failed to find resource '" + name + "' ";
    if (parent) head += "(parent = '" + std::string(parent) + "' ";
    head += "at '";
    for (size_t at = text.find("Failed to find", seen_); at != std::string::npos;
         at = text.find("Failed to find", at + 1)) {
      const size_t end = text.find("'\n", at);
      EXPECT_EQ(text.compare(at, head.size(), head), 0) << text.substr(at, end - at);
      out.push_back(text.substr(at + head.size(), end - at - head.size()));
    }
    seen_ = text.size();
    return out;
  }

  static void export_file(const char* name, const char* path) {
    lib_entry* e = new lib_entry;
    e->path = path;
    e->flags = 1;
    DSF_RegisterEntry(name, e);
  }

 private:
  size_t seen_ = 0;
};

strings with_variants(const std::string& prefix, const std::string& stem) {
  return {prefix + stem + ".dds", prefix + stem + ".png", prefix + stem + ".bmp"};
}

strings joined(std::initializer_list<strings> parts) {
  strings out;
  for (const strings& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// [SECTION] Plain search

TEST_F(ResourceTest, CandidatesOfEachKindInOrder) {
  const struct {
    int kind;
    const char* name;
    const char* folder;
    strings candidates;
  } cases[] = {
      {res_image, "roof.png", "F/",
       joined({with_variants("F/", "roof"), with_variants("F/custom terrain textures/", "roof"),
               with_variants("F/custom object textures/", "roof"),
               with_variants("Resources/bitmaps/terrain/", "roof"),
               with_variants("Resources/", "roof")})},
      {res_image,
       "a.b",
       "F/",
       {"F/a.b", "F/a.b", "F/a.b", "F/custom terrain textures/a.b", "F/custom terrain textures/a.b",
        "F/custom terrain textures/a.b", "F/custom object textures/a.b",
        "F/custom object textures/a.b", "F/custom object textures/a.b",
        "Resources/bitmaps/terrain/a.b", "Resources/bitmaps/terrain/a.b",
        "Resources/bitmaps/terrain/a.b", "Resources/a.b", "Resources/a.b", "Resources/a.b"}},
      {res_terrain,
       "g.ter",
       "F/",
       {"F/g.ter", "F/custom terrain textures/g.ter", "Resources/bitmaps/terrain/g.ter",
        "Resources/g.ter"}},
      {5,
       "h.obj",
       "F/",
       {"F/h.obj", "F/custom objects/h.obj", "Resources/objects/h.obj", "Resources/h.obj"}},
      {res_plain, "x.txt", "", {"x.txt", "Resources/x.txt"}},
      {9, "x.txt", "F/", {"F/x.txt"}},
  };
  for (const auto& c : cases) {
    std::string result = "stale";
    DSF_LocateResourceNoLib(c.kind, c.name, c.folder, true, result);
    EXPECT_EQ(result, "");
    EXPECT_EQ(tried(c.name), c.candidates) << "kind " << c.kind << " " << c.name;
  }
  std::string result;
  DSF_LocateResourceNoLib(res_terrain, "g.ter", "F/", false, result);
  EXPECT_EQ(tried("g.ter"), strings{}) << "nothing is logged unless asked";
}

TEST_F(ResourceTest, FirstExistingCandidateWins) {
  file("F/custom object textures/roof.png");
  file("Resources/roof.dds");
  file("Resources/objects/h.obj");
  file("Resources/h.obj");
  const struct {
    int kind;
    const char* name;
    const char* found;
  } cases[] = {
      {res_image, "roof.bmp", "F/custom object textures/roof.png"},
      {6, "h.obj", "Resources/objects/h.obj"},
      {res_plain, "h.obj", "Resources/h.obj"},
      {9, "h.obj", ""},
  };
  for (const auto& c : cases) {
    std::string result;
    DSF_LocateResourceNoLib(c.kind, c.name, "F/", true, result);
    EXPECT_EQ(result, c.found) << c.kind << " " << c.name;
  }
  EXPECT_EQ(tried("h.obj"), strings{"F/h.obj"}) << "only the search that failed logs";
}

TEST_F(ResourceTest, OverlongCandidateCountsAsMissing) {
  g_case_sensitive = 1;  // the letter-case repair copies paths into 500-byte buffers
  const std::string folder = std::string(495, 'f') + "/";
  file("Resources/x.obj");
  std::string result;
  DSF_LocateResourceNoLib(res_plain, "x.obj", folder, true, result);
  EXPECT_EQ(result, "Resources/x.obj");
  DSF_LocateResourceNoLib(res_plain, "y.obj", folder, true, result);
  EXPECT_EQ(result, "");
  EXPECT_EQ(tried("y.obj"), (strings{folder + "y.obj", "Resources/y.obj"}));
}

// [SECTION] With the library

TEST_F(ResourceTest, LibraryIsAskedFirst) {
  scenery_packages = {"Custom Scenery/P/"};
  export_file("lib/a.obj", "gone.obj");  // no such file: still the answer
  export_file("lib/a.obj", "also.obj");
  file("F/lib/a.obj");
  randrat[4] = 0.75f;

  std::string result;
  DSF_LocateResourcePrimary(0, 0, 4, "lib/a.obj", "F/", true, result, 4);
  EXPECT_EQ(result, "Custom Scenery/P/also.obj");
  DSF_LocateResourcePrimary(0, 0, 4, "lib/b.obj", "F/", true, result, 4);
  EXPECT_EQ(result, "");
  EXPECT_EQ(tried("lib/b.obj").size(), 4u);

  strings out{"stale"};
  DSF_LocateResourcePrimaryMultiple(0, 0, 4, "lib/a.obj", "F/", true, out);
  EXPECT_EQ(out,
            (strings{"Custom Scenery/P/gone.obj", "Custom Scenery/P/also.obj", "F/lib/a.obj"}));
  export_file("lib/c.obj", "c.obj");  // served, with nothing in the folders
  DSF_LocateResourcePrimaryMultiple(0, 0, 4, "lib/c.obj", "F/", true, out);
  EXPECT_EQ(out, strings{"Custom Scenery/P/c.obj"});
  EXPECT_EQ(tried("lib/c.obj"), strings{}) << "a name the library serves logs no failures";
  DSF_LocateResourcePrimaryMultiple(0, 0, 4, "lib/none.obj", "F/", true, out);
  EXPECT_EQ(out, strings{});
  EXPECT_EQ(tried("lib/none.obj").size(), 4u);

  DSF_LocateResourceSecondaryMultipleWithLibrary(0, 0, 4, 0, "F/", "lib/a.obj", true, out);
  EXPECT_EQ(out,
            (strings{"Custom Scenery/P/gone.obj", "Custom Scenery/P/also.obj", "F/lib/a.obj"}));
}

// [SECTION] Secondary search

TEST_F(ResourceTest, PackageOfAPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"Custom Scenery/Pkg/objects/a.obj", "Custom Scenery/Pkg/"},
      {"Resources/default scenery/Base/terrain/x.ter", "Resources/default scenery/Base/"},
      {"Custom Scenery/", ""},
      {"Custom Scenery/Pkg:objects:a.obj", "Custom Scenery/Pkg:"},
      {"Custom Scenery/Pkg\\a.obj", "Custom Scenery/Pkg\\"},
      {"Resources/objects/a.obj", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(extract_package(c.first), c.second) << c.first;
}

TEST_F(ResourceTest, SecondaryCandidatesFollowTheParentsPackage) {
  const std::string parent = "Custom Scenery/P/objects/";
  const struct {
    int kind, sub_kind;
    const char* parent;
    strings candidates;
  } cases[] = {
      {res_image, res_terrain, parent.c_str(),
       joined({with_variants(parent, "t"),
               with_variants("Custom Scenery/P/custom terrain textures/", "t"),
               with_variants("Resources/bitmaps/terrain/", "t"),
               with_variants("Resources/", "t")})},
      {res_image, 0, parent.c_str(),
       joined({with_variants(parent, "t"),
               with_variants("Custom Scenery/P/custom object textures/", "t"),
               with_variants("Resources/bitmaps/terrain/", "t"),
               with_variants("Resources/", "t")})},
      {res_terrain,
       0,
       parent.c_str(),
       {parent + "t.png", "Custom Scenery/P/custom terrain textures/t.png",
        "Resources/bitmaps/terrain/t.png", "Resources/t.png"}},
      {3,
       0,
       parent.c_str(),
       {parent + "t.png", "Custom Scenery/P/custom objects/t.png", "Resources/objects/t.png",
        "Resources/t.png"}},
      {res_plain, 0, parent.c_str(), {parent + "t.png", "Resources/t.png"}},
      {res_plain, 0, "", {"Resources/t.png"}},
      {3, 0, "elsewhere/", {"elsewhere/t.png", "Resources/objects/t.png", "Resources/t.png"}},
      {9, 0, parent.c_str(), {parent + "t.png"}},
  };
  for (const auto& c : cases) {
    std::string result = "stale";
    DSF_LocateResourceSecondary(c.kind, c.sub_kind, c.parent, "t.png", true, result);
    EXPECT_EQ(result, "");
    EXPECT_EQ(tried("t.png", c.parent), c.candidates)
        << c.kind << "/" << c.sub_kind << " " << c.parent;
  }
  file("Custom Scenery/P/custom terrain textures/t.bmp");
  std::string result;
  DSF_LocateResourceSecondary(res_image, res_terrain, parent, "t.png", true, result);
  EXPECT_EQ(result, "Custom Scenery/P/custom terrain textures/t.bmp");
}

}  // namespace
