// The fan of ray directions that every source position emits: cones of
// constant polar angle about the axis, each with a number of azimuths
// proportional to the sine of its angle.
#pragma once

#include <cstdint>

#include "model/model.h"
#include "support/files.h"

namespace varnock {

// Polar angle of cone j: THMIN + ((THMAX - THMIN) * j) / NTH.
double cone_angle(const RunParams& p, std::int64_t j);

// Azimuths on a cone with sine st: st * NPHI to the nearest integer, halves
// upwards, sign dropped. A count that is not a number or beyond the 32-bit
// range makes no ray.
int cone_azimuths(double st, int NPHI);

// Rays the fan will hold. Counting stops as soon as the sum passes limit, so
// a mistyped count is cheap to refuse.
std::int64_t count_fan_rays(const RunParams& p, std::int64_t limit);

// Builds the fan into sys.fan and lists every ray in listing (when given).
// The listing's first three columns show ray.X[0], ray.Y[0], ray.Z[0] as they
// stand: the source point the previous run ended on. ray.U[0], ray.V[0] are
// left holding the last ray's angles. ray_count is the fan's size as
// count_fan_rays gave it; the caller refuses a fan of more than MAX_FAN_RAYS
// rays beforehand.
void build_fan(SystemState& sys, RayState& ray, OutputFile* listing, std::int64_t ray_count);

}  // namespace varnock
