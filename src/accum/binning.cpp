#include "accum/binning.h"

#include <cmath>
#include <cstdint>

#include "model/limits.h"
#include "support/to_int32.h"

namespace varnock {

int cell_index(double value, double pitch) {
  return to_int32_or_invalid(std::floor(value / pitch + GRID_CENTRE + 0.5));
}

RayRecord bin_ray(double weight, double x, double y, double u, double v, bool ok, double DXY,
                  double DUV) {
  RayRecord rec;
  rec.weight = weight;
  const int ix = cell_index(x, DXY);
  const int iy = cell_index(y, DXY);
  const int iu = cell_index(u, DUV);
  const int iv = cell_index(v, DUV);
  if (ok && in_grid(ix) && in_grid(iy) && in_grid(iu) && in_grid(iv)) {
    rec.ix = static_cast<std::int8_t>(ix);
    rec.iy = static_cast<std::int8_t>(iy);
    rec.iu = static_cast<std::int8_t>(iu);
    rec.iv = static_cast<std::int8_t>(iv);
  }
  return rec;
}

PlaneDirection fan_direction(double tu, double tv) {
  const double q = std::sqrt((1 + tu * tu) + tv * tv);
  return {tu / q, tv / q};
}

PlaneDirection toward_axis(double x0, double y0) {
  const double r = std::sqrt(x0 * x0 + y0 * y0);
  return {x0 / r, y0 / r};
}

double ray_weight(double U, double V, double x0, double y0) {
  return weight_of(fan_direction(std::tan(U), std::tan(V)), toward_axis(x0, y0));
}

}  // namespace varnock
