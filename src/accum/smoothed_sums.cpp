#include "accum/smoothed_sums.h"

#include <cassert>
#include <cmath>
#include <cstddef>

#include "model/limits.h"

namespace varnock {
namespace {

// Adds weight to grid over the (up to) four cells of the shares a and b.
// The cells are whole numbers kept as doubles and tested as doubles, so
// that no value far outside the grid is ever converted to an integer.
void spread(GridValues& grid, double weight, const AxisShares& a, const AxisShares& b) {
  const double last = GRID_CELLS - 1;
  const double cells_a[2] = {a.low, a.low + 1}, shares_a[2] = {a.low_share, a.high_share};
  const double cells_b[2] = {b.low, b.low + 1}, shares_b[2] = {b.low_share, b.high_share};
  for (int m = 0; m < 2; ++m) {
    if (!(cells_a[m] >= 0 && cells_a[m] <= last)) continue;
    auto& row = grid[static_cast<std::size_t>(cells_a[m])];
    for (int n = 0; n < 2; ++n) {
      if (!(cells_b[n] >= 0 && cells_b[n] <= last)) continue;
      row[static_cast<std::size_t>(cells_b[n])] += weight * (shares_a[m] * shares_b[n]);
    }
  }
}

}  // namespace

AxisShares axis_shares(double value, double pitch) {
  const double f = value / pitch + static_cast<double>(GRID_CENTRE);
  const double low = std::floor(f);
  const double t = f - low;  // exact: f and low are within a unit of each other
  return AxisShares{low, 1 - t, t};
}

void SmoothedSums::add(std::span<const RayRecord> rays, std::span<const RayPlace> places) {
  assert(rays.size() == places.size());
  for (std::size_t k = 0; k < rays.size(); ++k) {
    const RayRecord& r = rays[k];
    if (!r.binned()) continue;
    const RayPlace& at = places[k];
    const AxisShares x = axis_shares(at.x, DXY_), y = axis_shares(at.y, DXY_);
    const AxisShares u = axis_shares(at.u, DUV_), v = axis_shares(at.v, DUV_);
    spread(grids_.IXY, r.weight, x, y);
    spread(grids_.IUV, r.weight, u, v);
    if (r.ix == SELI_ && r.iy == SELJ_) spread(grids_.IUV_P, r.weight, u, v);
  }
}

}  // namespace varnock
