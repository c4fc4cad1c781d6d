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

}  // namespace varnock
