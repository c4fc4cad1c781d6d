// Cell windows and ray weights.
#include "accum/binning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/to_int32.h"

namespace varnock {
namespace {

TEST(CellIndex, WindowsAreClosedBelowAndOpenAbove) {
  EXPECT_EQ(cell_index(0, 0.5), 20);
  EXPECT_EQ(cell_index(1.26, 0.5), 23);
  EXPECT_EQ(cell_index(10.2, 0.5), 40);
  EXPECT_EQ(cell_index(10.25, 0.5), 41);  // exactly +20.5 pitches: outside
  EXPECT_EQ(cell_index(-10.25, 0.5), 0);  // exactly -20.5 pitches: inside
  EXPECT_EQ(cell_index(-10.3, 0.5), -1);
  EXPECT_EQ(cell_index(0.25, 0.5), 21);   // a half cell up starts the next cell
  EXPECT_EQ(cell_index(-0.25, 0.5), 20);
  EXPECT_TRUE(in_grid(0));
  EXPECT_TRUE(in_grid(40));
  EXPECT_FALSE(in_grid(41));
  EXPECT_FALSE(in_grid(-1));
}

TEST(CellIndex, NotANumberAndHugeValuesGiveTheInvalidIndex) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(cell_index(std::nan(""), 0.5), INVALID_INT32);
  EXPECT_EQ(cell_index(inf, 0.5), INVALID_INT32);
  EXPECT_EQ(cell_index(-inf, 0.5), INVALID_INT32);
  EXPECT_EQ(cell_index(1e300, 0.5), INVALID_INT32);
  EXPECT_EQ(cell_index(3e9, 1), INVALID_INT32);
  EXPECT_EQ(cell_index(1, 0), INVALID_INT32);  // a pitch of 0 bins nothing
  EXPECT_EQ(cell_index(0, 0), INVALID_INT32);
  EXPECT_FALSE(in_grid(INVALID_INT32));
  // The last whole numbers inside the 32-bit range still convert.
  EXPECT_EQ(to_int32_or_invalid(2147483647.0), 2147483647);
  EXPECT_EQ(to_int32_or_invalid(-2147483648.0), INVALID_INT32);
  EXPECT_EQ(to_int32_or_invalid(2147483648.0), INVALID_INT32);
}

TEST(RayRecord, BinnedOnlyWithEveryCellInsideAndRayokSet) {
  const RayRecord inside = record_of(0.5, 0, 40, 20, 7, true);
  EXPECT_TRUE(inside.binned());
  EXPECT_EQ(inside.ix, 0);
  EXPECT_EQ(inside.iy, 40);
  EXPECT_EQ(inside.iu, 20);
  EXPECT_EQ(inside.iv, 7);
  EXPECT_EQ(inside.weight, 0.5);
  EXPECT_FALSE(record_of(0.5, 0, 40, 20, 7, false).binned());  // a stop took it
  const double nan = std::nan("");
  for (double outside : {-1.0, 41.0, nan, std::numeric_limits<double>::infinity(), -2147483648.0}) {
    EXPECT_FALSE(record_of(1, outside, 20, 20, 20, true).binned()) << outside;
    EXPECT_FALSE(record_of(1, 20, 20, 20, outside, true).binned()) << outside;
    EXPECT_EQ(record_of(1, 20, outside, 20, 20, true).weight, 1);  // still in TOTAL
  }
}

TEST(RayWeight, IsTheCosineTowardsTheAxis) {
  // Source at (1, 0): a ray with a positive U heads towards smaller x.
  EXPECT_NEAR(ray_weight(0.3, 0, 1, 0), std::sin(0.3), 1e-15);
  EXPECT_LT(ray_weight(-0.3, 0, 1, 0), 0);
  EXPECT_EQ(ray_weight(0, 0.4, 1, 0), 0);
  EXPECT_NEAR(ray_weight(0, 0.4, 0, -2), -std::sin(0.4), 1e-15);
  // On the axis there is no direction towards it.
  EXPECT_TRUE(std::isnan(ray_weight(0.3, 0, 0, 0)));
}

}  // namespace
}  // namespace varnock
