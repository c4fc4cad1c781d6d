#include <cmath>

#include "trace/direction_class.h"
#include "trace/ray_block.h"
#include "trace/trace_block.h"

namespace varnock {

void prepare_surface_steps(const SurfaceTable& surf, int NSURF, const SurfaceArray& ZS, int w,
                           double PI, SurfaceSteps& steps) {
  steps.resize(static_cast<std::size_t>(NSURF > 0 ? NSURF : 0));
  const TangentWindow untilted = NSURF > 0 ? forward_window(PI, 0.0) : TangentWindow{};
  for (int s = 0; s < NSURF; ++s) {
    SurfaceStep& ss = steps[static_cast<std::size_t>(s)];
    ss.type = surf.STYPE[s + 1];
    ss.CV = surf.CV[s + 1];
    ss.PA = surf.PA[s + 1];
    ss.PB = surf.PB[s + 1];
    ss.DX = surf.DX[s + 1];
    ss.DY = surf.DY[s + 1];
    ss.ZS = ZS[s];
    ss.n_before = surf.RN[w][s];
    ss.n_after = surf.RN[w][s + 1];
    ss.PI = PI;
    TangentWindow u = untilted, v = untilted;
    if (ss.type == 9) {
      place_tilted_sphere(ss);
      u = forward_window(PI, 2 * ss.PA);
      v = forward_window(PI, 2 * ss.PB);
      ss.tan_tilt_u = std::tan(2 * ss.PA);
      ss.tan_tilt_v = std::tan(2 * ss.PB);
    }
    ss.u_low = u.low;
    ss.u_high = u.high;
    ss.v_low = v.low;
    ss.v_high = v.high;
  }
}

void trace_block_exact(const SurfaceStep* steps, int count, RayBlock& block) {
  trace_block<ScalarLanes>(steps, count, block);
}

RayPath trace_path(const SurfaceStep* steps, int count, const RayPoint& start) {
  RayPath path;
  path.at.push_back(start);
  bool ok = true;
  for (int s = 0; s < count; ++s) {
    const RayPoint& from = path.at.back();
    StepRays<ScalarLanes> r;
    r.X = from.X;
    r.Y = from.Y;
    r.Z = from.Z;
    r.U = from.U;
    r.V = from.V;
    r.sc.TU = std::tan(from.U);
    r.sc.TV = std::tan(from.V);
    r.ok = ok;
    r.Z1 = NOT_A_NUMBER;
    surface_step<ScalarLanes>(steps[s], r);
    if (ok && !r.ok) path.stopped_at = s + 1;
    ok = r.ok;
    path.at.push_back(RayPoint{r.X1, r.Y1, r.Z1, r.U1, r.V1});
  }
  path.ok = ok;
  return path;
}

}  // namespace varnock
