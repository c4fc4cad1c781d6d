// The fan of ray directions that every source position emits: cones of
// constant polar angle about the axis, each with a number of azimuths
// proportional to the sine of its angle.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "model/model.h"
#include "support/files.h"

namespace varnock {

// Polar angle of cone j: THMIN + ((THMAX - THMIN) * j) / NTH.
double cone_angle(const RunParams& p, std::int64_t j);

// Azimuths on a cone with sine st: st * NPHI to the nearest integer, halves
// upwards, sign dropped. A count that is not a number or beyond the 32-bit
// range makes no ray.
int cone_azimuths(double st, int NPHI);

// The cones that hold rays, in order, and where each one's rays start in
// the fan (0-based).
struct FanCone {
  double ct = 0, st = 0;  // cosine and sine of the polar angle
  int azimuths = 0;
  std::int64_t first = 0;
};
struct FanPlan {
  std::vector<FanCone> cones;
  std::int64_t rays = 0;
  // More cones than MAX_FAN_CONES to look at one by one: refused.
  bool too_many_cones = false;
};

// Lays the fan out cone by cone. Stops as soon as the count passes limit,
// so a mistyped count is cheap to refuse (rays then exceeds limit). A fan
// whose cones all hold the same number of rays (NPHI of 0, THMIN = THMAX,
// an angle that is not finite) is laid out without visiting each; any
// other fan of more than MAX_FAN_CONES cones is refused (too_many_cones).
FanPlan plan_fan(const RunParams& p, std::int64_t limit);

// Rays the fan will hold, counting no further than just past limit.
std::int64_t count_fan_rays(const RunParams& p, std::int64_t limit);

// Builds the fan laid out by plan into sys.fan, and lists every ray in
// listing when given: the header, then per ray the source point (the same
// on every line: where the previous run ended, z = 0) and its U and V. The
// rays are made and formatted in parallel chunks and written in order.
// Returns false when cancel became true first.
bool build_fan(SystemState& sys, const FanPlan& plan, const SourcePoint& listed_source,
               OutputFile* listing, unsigned threads, const std::atomic<bool>* cancel = nullptr);

}  // namespace varnock
