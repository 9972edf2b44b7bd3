// The next power of two, as image rows and texture sides are padded to it.
#include "core/util/pow2.h"

#include <cstddef>
#include <cstdint>

#include <gtest/gtest.h>

namespace {

static_assert(pow2_at_least(3) == 4, "usable where a constant is needed");

TEST(Pow2AtLeast, RoundsUpToThePowerOfTwoAndKeepsOnesThatAre) {
  const struct {
    int v, want;
  } cases[] = {{-5, 1},
               {0, 1},
               {1, 1},
               {2, 2},
               {3, 4},
               {5, 8},
               {255, 256},
               {256, 256},
               {257, 512},
               {1023, 1024},
               {2048, 2048},
               {2049, 4096},
               {(1 << 30) - 1, 1 << 30}};
  for (const auto& c : cases) EXPECT_EQ(pow2_at_least(c.v), c.want) << c.v;
}

// Buffer sizes are size_t: past 32 bits nothing is cut.
TEST(Pow2AtLeast, WideTypesKeepTheirWidth) {
  EXPECT_EQ(pow2_at_least(size_t(2049)), size_t(4096));
  EXPECT_EQ(pow2_at_least((size_t(1) << 32) + 1), size_t(1) << 33);
  EXPECT_EQ(pow2_at_least(uint32_t(1) << 31), uint32_t(1) << 31);
}

}  // namespace
