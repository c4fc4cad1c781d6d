// One surface step s = 0 onto surface 1, for trying a surface model on its
// own: the vertex of surface 1 at z = ZS[0], the media before and after it,
// and the ray at the source plane set by hand.
#pragma once

#include <cmath>

#include "model/model.h"
#include "trace/ray_block.h"
#include "trace/surface_models.h"

namespace varnock_test {

// The ray before the step (index 0) and after it (index 1), its RAYOK flag
// and the scratch record the step left. A value at index 1 that the step
// does not write keeps what it held before the step.
struct SteppedRay {
  double X[2] = {0, 0}, Y[2] = {0, 0}, Z[2] = {0, 0}, U[2] = {0, 0}, V[2] = {0, 0};
  int RAYOK = 1;
  varnock::TraceScratch sc;
};

struct SingleStep {
  varnock::SurfaceTable table;
  double ZS0;
  SteppedRay ray;

  SingleStep(double cv, double zs, double n_before = 1, double n_after = 1.5) : ZS0(zs) {
    table.CV[1] = cv;
    table.RN[1][0] = n_before;
    table.RN[1][1] = n_after;
  }
  // The type parameters of surface 1.
  SingleStep& params(double pa, double pb = 0) {
    table.PA[1] = pa;
    table.PB[1] = pb;
    return *this;
  }
  SingleStep& decentre(double dx, double dy) {
    table.DX[1] = dx;
    table.DY[1] = dy;
    return *this;
  }
  SingleStep& from(double x, double y, double z, double u, double v) {
    ray.X[0] = x;
    ray.Y[0] = y;
    ray.Z[0] = z;
    ray.U[0] = u;
    ray.V[0] = v;
    return *this;
  }
  // The surface data as the tracer hands it to the step.
  varnock::SurfaceStep surface(int type_code) {
    table.STYPE[1] = type_code;
    varnock::SurfaceArray ZS{};
    ZS[0] = ZS0;
    varnock::SurfaceSteps steps;
    varnock::prepare_surface_steps(table, 1, ZS, 1, varnock::RUN_PI, steps);
    return steps[0];
  }
  // Runs the model of the type code, as the tracer would: the tangents of
  // the incoming angles are taken first.
  const SteppedRay& run(int type_code) {
    varnock::StepRays<varnock::ScalarLanes> r;
    r.X = ray.X[0];
    r.Y = ray.Y[0];
    r.Z = ray.Z[0];
    r.U = ray.U[0];
    r.V = ray.V[0];
    r.X1 = ray.X[1];
    r.Y1 = ray.Y[1];
    r.Z1 = ray.Z[1];
    r.U1 = ray.U[1];
    r.V1 = ray.V[1];
    r.ok = ray.RAYOK != 0;
    r.sc = ray.sc;
    r.sc.TU = std::tan(ray.U[0]);
    r.sc.TV = std::tan(ray.V[0]);
    varnock::surface_step<varnock::ScalarLanes>(surface(type_code), r);
    ray.X[1] = r.X1;
    ray.Y[1] = r.Y1;
    ray.Z[1] = r.Z1;
    ray.U[1] = r.U1;
    ray.V[1] = r.V1;
    ray.RAYOK = r.ok ? 1 : 0;
    ray.sc = r.sc;
    return ray;
  }
};

// Whether the tracer chooses model for a type code.
using ScalarModel = void (*)(const varnock::SurfaceStep&, varnock::StepRays<varnock::ScalarLanes>&);
inline bool traces_with(int type_code, ScalarModel model) {
  bool chosen = false;
  varnock::with_surface_model<varnock::ScalarLanes>(
      type_code, [&]<auto m>() { chosen = static_cast<ScalarModel>(m) == model; });
  return chosen;
}

// Equal, counting -0 as 0 and any two not-a-numbers as the same.
inline bool same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The ray at surface 1 of two steps, value for value.
inline bool same_ray_at_1(const SteppedRay& a, const SteppedRay& b) {
  return same(a.X[1], b.X[1]) && same(a.Y[1], b.Y[1]) && same(a.Z[1], b.Z[1]) &&
         same(a.U[1], b.U[1]) && same(a.V[1], b.V[1]);
}

}  // namespace varnock_test
