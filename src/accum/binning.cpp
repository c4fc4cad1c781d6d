#include "accum/binning.h"

#include <cmath>
#include <cstdint>

#include "accum/cell_number.h"
#include "model/limits.h"
#include "support/to_int32.h"
#include "trace/lanes.h"

namespace varnock {

int cell_index(double value, double pitch) {
  return to_int32_or_invalid(cell_number<ScalarLanes>(value, pitch));
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
