#include "accum/run_size.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "accum/binning.h"
#include "accum/positions.h"

namespace varnock {
namespace {

// Weights looked at one by one at most; past that ring points are sampled.
constexpr std::int64_t MOST_COUNTED_WEIGHTS = 20'000'000;
// A count a 64-bit integer holds, with room.
constexpr double MOST = 9.2e18;

std::int64_t clamped(double v) { return v < MOST ? static_cast<std::int64_t>(std::llround(v)) : INT64_MAX; }

}  // namespace

RunSize run_size(const SystemState& sys) {
  const RunParams& p = sys.params;
  RunSize size;
  size.fan_rays = sys.fan.NRAY;
  size.source_positions = p.NSCAN > 0 && p.NRING > 0 ? std::int64_t{p.NSCAN} * p.NRING : 0;
  if (size.source_positions == 0 || sys.fan.NRAY == 0 || p.NSET <= 0) return size;
  const std::int64_t rings = p.NRING;
  const std::int64_t step = std::max<std::int64_t>(1, rings * sys.fan.NRAY / MOST_COUNTED_WEIGHTS);
  size.estimated = step > 1;
  std::int64_t counted = 0, points = 0;
  for (std::int64_t j = 0; j < rings; j += step) {
    const SourcePoint src = ring_point(sys, static_cast<int>(j));
    const PlaneDirection to_axis = toward_axis(src.X, src.Y);
    for (int n = 1; n <= sys.fan.NRAY; ++n) {
      const std::size_t i = static_cast<std::size_t>(n);
      if (weight_of(PlaneDirection{sys.fan.EX[i], sys.fan.EY[i]}, to_axis) >= 0) ++counted;
    }
    ++points;
  }
  const double rays = static_cast<double>(counted) / static_cast<double>(points) *
                      static_cast<double>(rings) * p.NSCAN * p.NSET;
  size.rays_traced = clamped(rays);
  size.steps = clamped(rays * std::max(p.NSURF, 0));
  return size;
}

}  // namespace varnock
