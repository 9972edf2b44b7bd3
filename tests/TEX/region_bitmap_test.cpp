// Region bitmaps of scenery library files, read through the program's own
// image reader: the file layer reads them through the core's image hook,
// which this program fills with the reader as the shell does at start-up.
#include "TEX/load_any.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iterator>
#include <string>

#include "core/hooks.h"
#include "Files/dsf_scan.h"
#include "tests/Files/scan_fixture.h"
#include "tests/support/test_support.h"

namespace {

using scan_testing::kHeader;
using scan_testing::strings;
using testing_support::run_command;
using testing_support::write_file;

class RegionBitmap : public scan_testing::ScanTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(ScanTest::SetUp());
    g_core_hooks.load_alpha_image = TEX_load_alpha_ext;
  }
  void TearDown() override {
    g_core_hooks.load_alpha_image = core_hooks{}.load_alpha_image;
    ScanTest::TearDown();
  }
};

// A bitmap must cover the world at one pixel a degree.
TEST_F(RegionBitmap, BitmapOfAnotherSizeIsReportedWithItsFileAndLine) {
  bitmap("small.png", 180, 90, "");
  package("Custom Scenery/11",
          (std::string(kHeader) + "REGION_DEFINE r\nREGION_BITMAP ..\\..\\small.png\n").c_str());
  DSF_ScanSceneryFolder();
  const std::string text = log();
  EXPECT_TRUE(has_report(text, "Custom Scenery/11/library.txt", 415,
                         "REGION_BITMAP with bitmap ../../small.png has a size of 180, 90 but need "
                         "sa size of 360x180."))
      << text;
  EXPECT_NE(text.find("Error loading the scenery package:\nCustom Scenery/11/\n"),
            std::string::npos);
}

TEST_F(RegionBitmap, BitmapReplacesCellsSouthRowFirst) {
  // White: the top-left 10 by 5 pixels (the north-west corner of the world)
  // and the bottom-right pixel (the south-east corner).
  ASSERT_EQ(mkdir("Custom Scenery/P", 0755), 0);
  bitmap("Custom Scenery/P/world.png", 360, 180, "-draw 'rectangle 0,0 9,4' -draw 'point 359,179'");
  write_file("Custom Scenery/P/library.txt",
             std::string(kHeader) +
                 "REGION_DEFINE m\nREGION_RECT -180 -90 179 89\n"
                 "REGION_BITMAP world.bmp\n"  // the ".png" variant is the one on disk
                 "REGION m\nEXPORT lib/m.obj m.obj\n");
  DSF_ScanSceneryFolder();
  const lib_region* m = head("lib/m.obj")->region;
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(cells_set(m), 10 * 5 + 1) << log();
  const struct {
    int lon, lat, inside;
  } probes[] = {{-180, 89, 1}, {-171, 85, 1}, {-170, 85, 0}, {-180, 84, 0},
                {179, -90, 1}, {178, -90, 0}, {0, 0, 0}};
  for (const auto& p : probes) {
    EXPECT_EQ(cell(m, p.lon, p.lat), p.inside) << p.lon << "," << p.lat;
    strings out;
    EXPECT_EQ(DSF_LookupLibraryResourceMultiple(p.lon, p.lat, "lib/m.obj", out), p.inside);
  }
  EXPECT_EQ(log().find("***Error"), std::string::npos) << log();
}

// Region bitmaps come with the package: a damaged or foreign one is the
// failed load of line 427, and the scan goes on.
TEST_F(RegionBitmap, DamagedOrForeignBitmapsAreReportedAndSkipped) {
  ASSERT_EQ(mkdir("Custom Scenery/P", 0755), 0);
  const std::string at = "Custom Scenery/P/";
  bitmap(at + "good.png", 360, 180, "-draw 'point 0,179'");
  int status = -1;
  run_command("convert '" + at + "good.png' GIF:'" + at + "gif.png' && convert '" + at +
                  "good.png' -type palette BMP3:'" + at + "palette.bmp' && convert '" + at +
                  "good.png' -type truecolor BMP3:'" + at + "rgb.bmp'",
              &status);
  ASSERT_EQ(status, 0);
  const std::string good = testing_support::read_file(at + "good.png");
  write_file(at + "text.png", "this is no picture at all");
  write_file(at + "cut.png", good.substr(0, good.size() / 2));
  std::string broken = good;
  broken[broken.find("IDAT") + 6] ^= 0x55;
  write_file(at + "crc.png", broken);
  std::string compressed = testing_support::read_file(at + "rgb.bmp");
  compressed[30] = 1;
  write_file(at + "compressed.bmp", compressed);
  write_file(at + "junk.dds", "no DDS and no PNG");
  const char* const bad[] = {"text.png",    "gif.png",        "cut.png", "crc.png",
                             "palette.bmp", "compressed.bmp", "junk.dds"};
  std::string body;
  for (size_t i = 0; i < std::size(bad); ++i)
    body += "REGION_DEFINE r" + std::to_string(i) + "\nREGION_BITMAP " + bad[i] + "\n";
  // A ".dds" beside the good PNG that is no DDS: the PNG is still read.
  write_file(at + "good.dds", "no DDS either");
  body += "REGION_DEFINE m\nREGION_BITMAP good.dds\nREGION m\nEXPORT lib/m.obj m.obj\n";
  write_file(at + "library.txt", kHeader + body);
  DSF_ScanSceneryFolder();

  const std::string text = log();
  for (const char* b : bad)
    EXPECT_TRUE(has_report(text, at + "library.txt", 427,
                           std::string("Unable to load bitmap file '") + b +
                               "' for REGION_BITMAP command - will skip."))
        << b << "\n"
        << text;
  const lib_region* m = head("lib/m.obj") ? head("lib/m.obj")->region : nullptr;
  ASSERT_NE(m, nullptr) << text;
  EXPECT_EQ(cells_set(m), 1);
  EXPECT_EQ(cell(m, -180, -90), 1);
  // Logged for the reader of the log, never shown: one warning for the
  // package is all the user sees.
  for (const char* alert : {"PING-FILE ERROR!", "png_io.cpp line", "bmp_read.cpp line"})
    EXPECT_EQ(text.find(alert), std::string::npos) << alert;
  EXPECT_NE(text.find("PNG refused: " + at + "crc.png: damaged"), std::string::npos) << text;
}

}  // namespace
