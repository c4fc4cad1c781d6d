// What the fold needs of one traced ray: its weight and the four cells it
// landed in. Threads trace rays into records; the fold adds them up in the
// serial order.
#pragma once

#include <cstdint>

namespace varnock {

struct RayRecord {
  double weight = 0;
  // Cells 0..40 of x, y, U and V; ix = -1 when the ray is not binned (a cell
  // outside its grid, not a number, or RAYOK cleared): it then counts in
  // TOTAL only.
  std::int8_t ix = -1, iy = -1, iu = -1, iv = -1;

  bool binned() const { return ix >= 0; }
};

// Where a ray landed, before binning: its position x, y on the last surface
// and its angles U, V there. Kept beside the records, one for one, only by a
// run that asks for smoothed maps; every other run records cells alone, so
// the record stays as small as the plain grids need.
struct RayPlace {
  double x = 0, y = 0, u = 0, v = 0;
};

}  // namespace varnock
