// Tile names of the scenery from a tile's south-west corner.
#include "Files/latlon.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(LatLonNames, CornersWrapAndOutOfRange) {
  struct named_tile {
    int lat, lon;
    const char* name;
  };
  const named_tile cases[] = {
      {47, -122, "+40-130/+47-122.dsf"},
      {0, 0, "+00+000/+00+000.dsf"},
      {-1, -1, "-10-010/-01-001.dsf"},
      {89, 179, "+80+170/+89+179.dsf"},
      {-90, -180, "-90-180/-90-180.dsf"},
      {-90, 179, "-90+170/-90+179.dsf"},
      {89, -180, "+80-180/+89-180.dsf"},
      {-9, -171, "-10-180/-09-171.dsf"},
      // Past the antimeridian and the poles: the folder follows the same
      // rounding, and a digit the field cannot hold shows "0".
      {0, 180, "+00+180/+00+180.dsf"},
      {0, -181, "+00-180/+00-181.dsf"},
      {100, 1000, "+00+000/+00+000.dsf"},
      {INT_MIN, 0, "-00+000/-08+000.dsf"},
      {INT_MAX, INT_MIN, "+00-040/+07-048.dsf"},
  };
  for (const named_tile& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(&return_latlon_str_dsf(c.lat, c.lon, &out), &out);
    EXPECT_EQ(out, c.name) << c.lat << ", " << c.lon;
  }
}

}  // namespace
