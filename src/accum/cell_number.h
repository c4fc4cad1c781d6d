// The cell a final position or angle falls into, as a number:
// floor(value/pitch + 20 + 0.5), the additions in that order. Cell i takes
// the values with i - 20.5 <= value/pitch < i - 19.5: cell 20 is centred on
// zero, and each cell window is closed below and open above. Written over
// the lane policy, so that a block's cells are taken with its tracer.
#pragma once

#include "model/limits.h"

namespace varnock {

template <class L>
inline typename L::D cell_number(typename L::D value, double pitch) {
  return L::floor(value / pitch + static_cast<double>(GRID_CENTRE) + 0.5);
}

// A cell number is in its grid when it lies in 0..40; one that is not a
// number, or infinite, is not.
inline bool in_grid_number(double cell) { return cell >= 0 && cell <= GRID_CELLS - 1; }

// A ray's four cell numbers as the fold takes them: kept when all four
// lie in their grids and RAYOK holds, -1 in all four otherwise. On the lane
// policy and without branches: whether a ray lands in the grids is a coin
// toss for the processor.
template <class L>
inline void keep_binned(typename L::M ok, typename L::D& x, typename L::D& y, typename L::D& u,
                        typename L::D& v) {
  using D = typename L::D;
  const D lowest(0.0), highest(static_cast<double>(GRID_CELLS - 1));
  auto inside = [&](D c) { return L::both(c >= lowest, c <= highest); };
  const typename L::M binned =
      L::both(L::both(ok, L::both(inside(x), inside(y))), L::both(inside(u), inside(v)));
  const D none(-1.0);
  x = L::select(binned, x, none);
  y = L::select(binned, y, none);
  u = L::select(binned, u, none);
  v = L::select(binned, v, none);
}

}  // namespace varnock
