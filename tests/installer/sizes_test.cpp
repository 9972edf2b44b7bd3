// Size texts and where the progress panel of a long reading draws its bar.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "installer/sizes.h"

namespace {

TEST(Sizes, KilobytesAsMegOrGigWithOneDecimal) {
  struct {
    float kb;
    const char* text;
  } cases[] = {{1234, "1.2 Meg"},         {0, "0.0 Meg"},       {56789, "56.8 Meg"},
               {999000, "999.0 Meg"},     {1000000, "1.0 Gig"}, {2345678, "2.3 Gig"},
               {std::nanf(""), "NaN Gig"}};
  for (const auto& c : cases) {
    std::string out;
    set_size_str(c.kb, out);
    EXPECT_EQ(out, c.text) << c.kb;
  }
}

TEST(Sizes, ProgressPanelBarFillsFromFourPercentAndSitsInTheMiddle) {
  struct {
    float lo, value, hi, fraction;
  } cases[] = {{5, 5, 5, 0.52f},  // no range: halfway
               {0, 0, 100, 0.04f},   {0, 50, 100, 0.52f}, {0, 100, 100, 1.0f},
               {0, -10, 100, 0.04f}, {0, 500, 100, 1.0f}, {0, INFINITY, INFINITY, 0.04f}};
  for (const auto& c : cases) {
    progress_panel_layout l = dir_progress_layout(c.lo, c.value, c.hi, 1024, 768);
    EXPECT_FLOAT_EQ(l.fraction, c.fraction) << c.value << "/" << c.hi;
    EXPECT_FLOAT_EQ(l.fill, l.x1 + c.fraction * (l.x2 - l.x1));
  }
  progress_panel_layout l = dir_progress_layout(0, 1, 2, 1024, 768);
  EXPECT_FLOAT_EQ(l.left, 256);
  EXPECT_FLOAT_EQ(l.bottom, 315);
  EXPECT_FLOAT_EQ(l.x1, 286);
  EXPECT_FLOAT_EQ(l.x2, 738);
  EXPECT_FLOAT_EQ(l.y, 350);
}

}  // namespace
