// One surface step s = 0 onto surface 1, for trying a surface model on its
// own: the vertex of surface 1 at z = ZS[0], the media before and after it,
// and the ray at the source plane set by hand.
#pragma once

#include <cmath>

#include "model/model.h"
#include "trace/optics.h"
#include "trace/trace.h"

namespace varnock_test {

struct SurfaceStep {
  varnock::SurfaceTable table;
  varnock::RayState ray;
  varnock::Optics optics{table, 1, varnock::RUN_PI};

  SurfaceStep(double cv, double zs, double n_before = 1, double n_after = 1.5) {
    table.CV[1] = cv;
    ray.ZS[0] = zs;
    ray.RN0[0] = n_before;
    ray.RN0[1] = n_after;
    ray.RAYOK = 1;
  }
  // The type parameters of surface 1.
  SurfaceStep& params(double pa, double pb = 0) {
    table.PA[1] = pa;
    table.PB[1] = pb;
    return *this;
  }
  // The decentres as a pass hands them to the models: the ray's working copy
  // of the sheet's values.
  SurfaceStep& decentre(double dx, double dy) {
    table.DX[1] = dx;
    table.DY[1] = dy;
    ray.DX[1] = dx;
    ray.DY[1] = dy;
    return *this;
  }
  SurfaceStep& from(double x, double y, double z, double u, double v) {
    ray.X[0] = x;
    ray.Y[0] = y;
    ray.Z[0] = z;
    ray.U[0] = u;
    ray.V[0] = v;
    return *this;
  }
  const varnock::RayState& run(varnock::SurfaceModel model) {
    model(optics, ray, 0);
    return ray;
  }
};

// Equal, counting -0 as 0 and any two not-a-numbers as the same.
inline bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The ray at surface 1 of two steps, value for value.
inline bool same_ray_at_1(const varnock::RayState& a, const varnock::RayState& b) {
  return same(a.X[1], b.X[1]) && same(a.Y[1], b.Y[1]) && same(a.Z[1], b.Z[1]) &&
         same(a.U[1], b.U[1]) && same(a.V[1], b.V[1]);
}

}  // namespace varnock_test
