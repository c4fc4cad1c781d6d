// Helpers of the mirror tests: one mirror step onto surface 1, the angles of
// a direction as the fan gives them, and where a stored ray lies at a height.
#pragma once

#include <cmath>
#include <limits>

#include "model/model.h"
#include "support/surface_step.h"

namespace varnock_test {

inline constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

// A mirror step: the model is the tracer's for the type code, and both
// indices are not-a-number, since a mirror that read one would spoil the ray.
struct MirrorStep : SingleStep {
  MirrorStep(int type, double cv, double zs, double pa = 0, double pb = 0)
      : SingleStep(cv, zs, NOT_A_NUMBER, NOT_A_NUMBER) {
    type_code = type;
    params(pa, pb);
  }
  int type_code;
  MirrorStep& decentre(double dx, double dy) {
    SingleStep::decentre(dx, dy);
    return *this;
  }
  MirrorStep& from(double x, double y, double z, double u, double v) {
    SingleStep::from(x, y, z, u, v);
    return *this;
  }
  const SteppedRay& run() { return SingleStep::run(type_code); }
};

// The angles the fan gives a ray of unit direction (dx, dy, dz) heading
// towards -z when dz < 0: each projected angle moved half a turn away from
// zero, so that |U| and |V| exceed PI/2. Positive U means travel towards
// smaller x, so the fan's (dx, dy) are the negated x and y of the direction.
struct Angles {
  double u, v;
};
inline Angles angles_of_direction(double x, double y, double z) {
  const double PI = varnock::RUN_PI;
  const double dx = -x, dy = -y;
  if (z > 0) return {std::atan(dx / z), std::atan(dy / z)};
  return {(dx > 0 ? PI : -PI) + std::atan(dx / z), (dy > 0 ? PI : -PI) + std::atan(dy / z)};
}

// Where the stored ray at surface 1 is at height z: the line
// x(z) = X[1] - tan U[1] (z - Z[1]), and likewise y.
inline double x_at(const SteppedRay& r, double z) {
  return r.X[1] - std::tan(r.U[1]) * (z - r.Z[1]);
}
inline double y_at(const SteppedRay& r, double z) {
  return r.Y[1] - std::tan(r.V[1]) * (z - r.Z[1]);
}

}  // namespace varnock_test
