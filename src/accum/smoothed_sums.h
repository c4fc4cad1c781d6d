// Smoothed maps: each binned ray's weight shared bilinearly among the four
// cell centres around where it landed, instead of going whole into the one
// cell it falls in. A small change of the system then moves weight between
// cells smoothly, where the plain grids change only when a ray crosses a
// cell border; an optimiser needs merit functions with that property.
//
// Along one axis, with f = value/pitch + 20 (cell i has its centre at
// f = i), i0 = floor(f) and t = f - i0, cell i0 takes the share 1 - t and
// cell i0 + 1 the share t; a ray's weight goes to each of the four cells as
// weight * (share along the first axis * share along the second). Shares
// of cells outside 0..40 are dropped. Only the rays the plain grids bin
// take part, so the windows are those of the plain maps.
#pragma once

#include <span>

#include "accum/ray_record.h"
#include "varnock/varnock.h"

namespace varnock {

// The two cells about a value along one axis, and their shares.
struct AxisShares {
  double low = 0;  // the cell i0, as a whole number (it may lie outside 0..40)
  double low_share = 0, high_share = 0;  // of cells i0 and i0 + 1
};
AxisShares axis_shares(double value, double pitch);

// The three smoothed grids as running sums: every term is added in the
// order the rays arrive, which is the serial order of the fold, so that
// they are the same bits on any number of threads. Exact sums do not
// reach them: a run with exact sums still has running smoothed sums.
class SmoothedSums {
 public:
  SmoothedSums(double DXY, double DUV, int SELI, int SELJ)
      : DXY_(DXY), DUV_(DUV), SELI_(SELI), SELJ_(SELJ) {}

  // The records of one task and the places of the same rays, one for one.
  // IXY takes (x, y), IUV (U, V), IUV_P (U, V) of the rays whose plain IXY
  // cell is (SELI, SELJ).
  void add(std::span<const RayRecord> rays, std::span<const RayPlace> places);
  const SmoothedGrids& grids() const { return grids_; }

 private:
  double DXY_, DUV_;
  int SELI_, SELJ_;
  SmoothedGrids grids_;
};

}  // namespace varnock
