// One surface step s = 0 onto surface 1 of a given type, for the mirror
// tests: the surface data and the vertex position are set by hand, the ray
// starts at (x, y, z) with angles (u, v), and the step is the tracer's model
// for the type code.
#pragma once

#include <cmath>
#include <limits>

#include "model/model.h"
#include "trace/trace.h"

namespace varnock_test {

inline constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

struct MirrorStep {
  varnock::SurfaceTable table;
  varnock::RayState ray;
  varnock::Optics optics{table, 1, varnock::RUN_PI};

  MirrorStep(int type, double cv, double zs, double pa = 0, double pb = 0) {
    table.STYPE[1] = type;
    table.CV[1] = cv;
    table.PA[1] = pa;
    table.PB[1] = pb;
    ray.ZS[0] = zs;
    // A mirror reads no refractive index: any it did read would spoil the ray.
    ray.RN0[0] = NOT_A_NUMBER;
    ray.RN0[1] = NOT_A_NUMBER;
  }
  MirrorStep& decentre(double dx, double dy) {
    ray.DX[1] = dx;
    ray.DY[1] = dy;
    return *this;
  }
  MirrorStep& from(double x, double y, double z, double u, double v) {
    ray.X[0] = x;
    ray.Y[0] = y;
    ray.Z[0] = z;
    ray.U[0] = u;
    ray.V[0] = v;
    return *this;
  }
  const varnock::RayState& run() {
    varnock::surface_model(table.STYPE[1])(optics, ray, 0);
    return ray;
  }
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
inline double x_at(const varnock::RayState& r, double z) {
  return r.X[1] - std::tan(r.U[1]) * (z - r.Z[1]);
}
inline double y_at(const varnock::RayState& r, double z) {
  return r.Y[1] - std::tan(r.V[1]) * (z - r.Z[1]);
}

}  // namespace varnock_test
