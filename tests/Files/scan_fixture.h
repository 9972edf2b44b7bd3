// The scan tests' fixture: scenery packages made in the scratch folder that
// serves as the application's folder, and readers of what the scan left in
// the library and the log.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "Files/dsf_library.h"
#include "Files/dsf_library_file.h"
#include "tests/Files/scenery_fixture.h"
#include "tests/support/test_support.h"

namespace scan_testing {

using strings = std::vector<std::string>;
using testing_support::run_command;
using testing_support::write_file;

const char* const kHeader = "I\n800 version\nLIBRARY\n\n";

class ScanTest : public SceneryFolderTest {
 protected:
  ScanTest() : SceneryFolderTest("dsf-scan") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SceneryFolderTest::SetUp());
    for (const char* f : {"Custom Scenery", "Resources", "Resources/default scenery"})
      ASSERT_EQ(mkdir(f, 0755), 0);
  }

  // A package folder under the scratch folder, with a library file unless
  // library is null.
  static void package(const std::string& folder, const char* library) {
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0) << folder;
    if (library) write_file(folder + "/library.txt", library);
  }
  static void custom(const std::string& name, const std::string& body) {
    package("Custom Scenery/" + name, (kHeader + body).c_str());
  }

  // A 360 by 180 (or other) grey image: black, with white rectangles given as
  // ImageMagick draw primitives (x from the left, y from the top).
  static void bitmap(const std::string& path, int width, int height, const std::string& draws) {
    int status = -1;
    const std::string out = run_command(
        "convert -size " + std::to_string(width) + "x" + std::to_string(height) +
            " xc:black +antialias -fill white " + draws + " -depth 8 PNG24:'" + path + "' 2>&1",
        &status);
    ASSERT_EQ(status, 0) << out;
  }

  static const lib_entry* head(const char* name) {
    auto it = dsf_library.find(name);
    return it == dsf_library.end() ? nullptr : it->second;
  }
  static strings chain(const char* name) {
    strings out;
    for (const lib_entry* e = head(name); e; e = e->next_entry) out.push_back(e->path);
    return out;
  }
  static int cell(const lib_region* r, int lon, int lat) { return r->contains(lon, lat) ? 1 : 0; }
  // A report of the scenery file in the log: its source line (0: any) and
  // its message on the line after it.
  static bool has_report(const std::string& text, const std::string& file, int line,
                         const std::string& message) {
    const std::string where = "***Error with scenery file \"" + file + "\" (";
    const std::string tail = line ? ": " + std::to_string(line) + ".)" : ".)";
    for (size_t at = text.find(where); at != std::string::npos; at = text.find(where, at + 1)) {
      const size_t end = text.find('\n', at);
      if (end == std::string::npos || end < tail.size()) break;
      if (text.compare(end - tail.size(), tail.size(), tail) == 0 &&
          text.compare(end + 1, message.size() + 3, "  " + message + "\n") == 0)
        return true;
    }
    return false;
  }
  static int cells_set(const lib_region* r) {
    int n = 0;
    for (unsigned char c : r->cells) n += c != 0;
    return n;
  }
};

}  // namespace scan_testing
