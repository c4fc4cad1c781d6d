// The source-position pass: every fan ray, for every index set, weighted,
// traced from the source point in ray.X[0], ray.Y[0] and binned.
#pragma once

#include <cstdint>

#include "model/model.h"

namespace varnock {

// Loads the ray state's working copies of the surface data for this scan
// step, then for w = 1..NSET and n = 1..NRAY traces every ray whose weight is
// not negative and adds its weight to TOTAL and, when it lands inside both
// grid windows with RAYOK still set, to IXY, IUV and (for the selected cell)
// IUV_P. The terms reach every sum in that order. Returns the number of rays
// traced.
std::int64_t run_position(const SystemState& sys, RayState& ray, Results& res);

}  // namespace varnock
