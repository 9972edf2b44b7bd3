// Free space of a destination's volume, beside what df reports.
#include "Files/volume.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_folder.h"
#include "tests/support/test_support.h"

namespace {

class Volume : public testing_support::TempFolderTest {
 protected:
  Volume() : TempFolderTest("volume") {}
};

TEST_F(Volume, FreeKilobytesOfTheNearestFolderThatExists) {
  // df counts blocks of 1024 bytes; we count kilobytes of 1000.
  const double df_kb =
      std::stod(testing_support::run_command("df -k --output=avail '" + dir + "' | tail -1")) *
      1.024;
  for (const std::string& path : {dir, dir + "new/", dir + "new/deeper/Nimbrel/", dir + "file"}) {
    const double kb = volume_free_kb(path);
    // Other writers share the volume: a few megabytes may come and go.
    EXPECT_NEAR(kb, df_kb, 20000.0 + df_kb * 0.01) << path;
  }
  EXPECT_EQ(volume_free_kb(""), -1.0);
  EXPECT_EQ(volume_free_kb("relative/without/any/folder"), -1.0);
}

}  // namespace
