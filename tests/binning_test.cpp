// Cell windows, ray weights and the bilinear shares of smoothed maps.
#include "accum/binning.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "accum/smoothed_sums.h"

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

// The weight in every cell of a grid but the ones listed.
double weight_elsewhere(const GridValues& g, const std::vector<std::pair<int, int>>& cells) {
  double rest = 0;
  for (int i = 0; i < GRID_SIZE; ++i) {
    for (int j = 0; j < GRID_SIZE; ++j) {
      bool listed = false;
      for (const auto& [a, b] : cells) listed = listed || (a == i && b == j);
      if (!listed) rest += std::fabs(g[i][j]);
    }
  }
  return rest;
}

// One binned ray into smoothed sums of pitches 0.5 (x, y) and 0.01 (U, V),
// its plain cells taken as the plain binning takes them.
SmoothedGrids smoothed_of_one(double weight, RayPlace at, int SELI = 20, int SELJ = 20) {
  SmoothedSums sums(0.5, 0.01, SELI, SELJ);
  const RayRecord r = record_of(weight, cell_index(at.x, 0.5), cell_index(at.y, 0.5),
                                cell_index(at.u, 0.01), cell_index(at.v, 0.01), true);
  sums.add(std::vector<RayRecord>{r}, std::vector<RayPlace>{at});
  return sums.grids();
}

TEST(SmoothedSums, ARayOnACellCentreKeepsItsWholeWeightThere) {
  // x = 3 pitches, y = -2 pitches: the centres of cells 23 and 18.
  const SmoothedGrids g = smoothed_of_one(0.75, RayPlace{1.5, -1.0, 0.0, 0.07}, 23, 18);
  EXPECT_EQ(g.IXY[23][18], 0.75);
  EXPECT_EQ(weight_elsewhere(g.IXY, {{23, 18}}), 0);
  EXPECT_NEAR(g.IUV[20][27], 0.75, 1e-14);  // 0.07 / 0.01 is 7 up to rounding
  EXPECT_LT(weight_elsewhere(g.IUV, {{20, 27}}), 1e-14);
  // Its plain IXY cell is the selected one, so IUV_P holds the same.
  EXPECT_EQ(g.IUV_P, g.IUV);
}

TEST(SmoothedSums, ARayHalfwayBetweenCentresIsSharedEvenly) {
  // x halfway between the centres of cells 22 and 23, y on the centre of 20;
  // U, V each halfway: a quarter to each of four cells.
  const SmoothedGrids g = smoothed_of_one(1, RayPlace{1.25, 0.0, 0.025, -0.005});
  EXPECT_EQ(g.IXY[22][20], 0.5);
  EXPECT_EQ(g.IXY[23][20], 0.5);
  EXPECT_EQ(weight_elsewhere(g.IXY, {{22, 20}, {23, 20}}), 0);
  double uv = 0;
  for (const auto& [i, j] : {std::pair{22, 19}, {22, 20}, {23, 19}, {23, 20}}) {
    EXPECT_NEAR(g.IUV[i][j], 0.25, 1e-12) << i << " " << j;
    uv += g.IUV[i][j];
  }
  EXPECT_NEAR(uv, 1, 1e-14);
  EXPECT_EQ(weight_elsewhere(g.IUV, {{22, 19}, {22, 20}, {23, 19}, {23, 20}}), 0);
  // In general the shares along an axis are 1 - t and t from cell floor(f).
  const AxisShares s = axis_shares(-3.2, 0.5);  // f = 13.6
  EXPECT_EQ(s.low, 13);
  EXPECT_NEAR(s.high_share, 0.6, 1e-14);
  EXPECT_EQ(s.low_share + s.high_share, 1);
}

TEST(SmoothedSums, SharesBeyondTheEdgeAreDroppedAndUnbinnedRaysAddNothing) {
  // x = 20.25 pitches (f = 40.25, still plain cell 40): a quarter would go
  // to cell 41 and is dropped. y = -20.25 pitches (f = -0.25, plain cell 0):
  // cell 0 keeps three quarters, cell -1's quarter is dropped.
  const SmoothedGrids g = smoothed_of_one(1, RayPlace{10.125, -10.125, 0, 0});
  EXPECT_EQ(g.IXY[40][0], 0.75 * 0.75);
  EXPECT_EQ(weight_elsewhere(g.IXY, {{40, 0}}), 0);
  // The corner of the window exactly: half a share along each axis remains.
  const SmoothedGrids corner = smoothed_of_one(1, RayPlace{-10.25, -10.25, 0, 0});
  EXPECT_EQ(corner.IXY[0][0], 0.25);
  EXPECT_EQ(weight_elsewhere(corner.IXY, {{0, 0}}), 0);

  // A ray the plain grids do not bin adds nothing, though it lies near
  // enough for a share: outside the window in U, or stopped (RAYOK cleared).
  SmoothedSums sums(0.5, 0.01, 20, 20);
  const RayPlace near_edge{0, 0, 0.206, 0};  // U at 20.6 pitches: plain cell 41
  const RayRecord outside = record_of(1, 20, 20, cell_index(near_edge.u, 0.01), 20, true);
  const RayRecord stopped = record_of(1, 20, 20, 20, 20, false);
  sums.add(std::vector<RayRecord>{outside, stopped},
           std::vector<RayPlace>{near_edge, RayPlace{}});
  EXPECT_EQ(weight_elsewhere(sums.grids().IXY, {}), 0);
  EXPECT_EQ(weight_elsewhere(sums.grids().IUV, {}), 0);
  EXPECT_EQ(weight_elsewhere(sums.grids().IUV_P, {}), 0);
}

TEST(SmoothedSums, IuvPTakesOnlyTheRaysOfThePlainSelectedCell) {
  // Selected cell (22, 20). The first ray (x = 1.98 pitches) lies in plain
  // cell 22; the second (x = 2.6 pitches) in plain cell 23, yet it shares
  // 0.4 of its weight into cell 22 of smoothed IXY: none into IUV_P.
  SmoothedSums sums(0.5, 0.01, 22, 20);
  const RayPlace in_cell{0.99, 0, 0.1, 0}, next_cell{1.3, 0, -0.1, 0};
  std::vector<RayRecord> rays;
  for (const RayPlace& at : {in_cell, next_cell}) {
    rays.push_back(record_of(1, cell_index(at.x, 0.5), cell_index(at.y, 0.5),
                             cell_index(at.u, 0.01), cell_index(at.v, 0.01), true));
  }
  ASSERT_EQ(rays[0].ix, 22);
  ASSERT_EQ(rays[1].ix, 23);
  sums.add(rays, std::vector<RayPlace>{in_cell, next_cell});
  const SmoothedGrids& g = sums.grids();
  EXPECT_NEAR(g.IXY[22][20], 0.98 + 0.4, 1e-14);
  EXPECT_NEAR(g.IUV_P[30][20], 1, 1e-14);  // U = 10 pitches: the first ray alone
  EXPECT_LT(weight_elsewhere(g.IUV_P, {{30, 20}}), 1e-14);
  EXPECT_NEAR(g.IUV[10][20], 1, 1e-14);
}

}  // namespace
}  // namespace varnock
