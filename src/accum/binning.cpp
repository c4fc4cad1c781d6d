#include "accum/binning.h"

#include <cmath>

#include "model/limits.h"
#include "support/to_int32.h"

namespace varnock {

int cell_index(double value, double pitch) {
  return to_int32_or_invalid(std::floor(value / pitch + GRID_CENTRE + 0.5));
}

double ray_weight(double U, double V, double x0, double y0) {
  const double tu = std::tan(U);
  const double tv = std::tan(V);
  const double q = std::sqrt((1 + tu * tu) + tv * tv);
  const double ex = tu / q;
  const double ey = tv / q;
  const double r = std::sqrt(x0 * x0 + y0 * y0);
  const double rx = x0 / r;
  const double ry = y0 / r;
  return ex * rx + ey * ry;
}

}  // namespace varnock
