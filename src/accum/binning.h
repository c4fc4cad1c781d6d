// Grid binning: which of the 41 cells a final position or angle falls into.
// Cell i takes the values with i - 20.5 <= value/pitch < i - 19.5: cell 20 is
// centred on zero, and each cell window is closed below and open above.
#pragma once

#include "accum/cell_number.h"
#include "accum/ray_record.h"

namespace varnock {

// floor(value/pitch + 20 + 0.5), the additions in that order, as a 32-bit
// integer; a value that is not a number or lies beyond the 32-bit range
// gives INT32_MIN. The result may be any integer: see in_grid.
int cell_index(double value, double pitch);

inline bool in_grid(int index) { return index >= 0 && index <= 40; }

// The record of a ray whose cell numbers (cell_number.h) of x, y, U and V
// are given: binned when all four lie in their grids and RAYOK held.
// (The block tracers hand over cells that keep_binned has seen to, for
// which binned_record is enough.)
inline RayRecord record_of(double weight, double cell_x, double cell_y, double cell_u,
                           double cell_v, bool ok) {
  // Without branches (whether a ray lands in the grids is a coin toss for
  // the processor): a cell number in 0..40 is a whole number there and
  // converts exactly; a ray that is not binned gets -1 in every cell.
  const int binned = static_cast<int>(ok) & static_cast<int>(in_grid_number(cell_x)) &
                     static_cast<int>(in_grid_number(cell_y)) &
                     static_cast<int>(in_grid_number(cell_u)) &
                     static_cast<int>(in_grid_number(cell_v));
  RayRecord rec;
  rec.weight = weight;
  rec.ix = static_cast<std::int8_t>(binned != 0 ? cell_x : -1.0);
  rec.iy = static_cast<std::int8_t>(binned != 0 ? cell_y : -1.0);
  rec.iu = static_cast<std::int8_t>(binned != 0 ? cell_u : -1.0);
  rec.iv = static_cast<std::int8_t>(binned != 0 ? cell_v : -1.0);
  return rec;
}

// Weight of a ray with angles (U, V) leaving the source point (x0, y0): the
// cosine between its direction and the direction in the x-y plane from the
// source towards the axis. Not a number for a source on the axis. The
// engine keeps the direction part per fan ray (fan_direction) and the
// source part per position (toward_axis); ray_weight is the two together.
struct PlaneDirection {
  double x = 0, y = 0;
};
// From the tangents tu = tan U, tv = tan V: (tu, tv) / sqrt((1 + tu^2) + tv^2).
// The record of a ray whose cells are 0..40, or -1 in all four.
inline RayRecord binned_record(double weight, double cell_x, double cell_y, double cell_u,
                               double cell_v) {
  return RayRecord{weight, static_cast<std::int8_t>(cell_x), static_cast<std::int8_t>(cell_y),
                   static_cast<std::int8_t>(cell_u), static_cast<std::int8_t>(cell_v)};
}

PlaneDirection fan_direction(double tu, double tv);
PlaneDirection toward_axis(double x0, double y0);
inline double weight_of(const PlaneDirection& ray, const PlaneDirection& source) {
  return ray.x * source.x + ray.y * source.y;
}
double ray_weight(double U, double V, double x0, double y0);

}  // namespace varnock
