// The block tracer, written once over the lane policy L: every surface
// step runs over the whole block with its model chosen once, L::width rays
// at a time.
#pragma once

#include "trace/ray_block.h"
#include "trace/surface_models.h"

namespace varnock {

// One surface step for every ray of the block, with the model given. When
// tangents_after is set it also takes tan U and tan V of the rays at s+1 for
// the next step.
template <class L, auto model>
inline void step_block(const SurfaceStep& ss, RayBlock& b, bool tangents_after) {
  using D = typename L::D;
  const RayColumns& in = b.side[b.cur];
  RayColumns& out = b.side[b.cur ^ 1];
  for (int i = 0; i < b.padded; i += L::width) {
    StepRays<L> r;
    r.X = L::load(&in.X[i]);
    r.Y = L::load(&in.Y[i]);
    r.Z = L::load(&in.Z[i]);
    r.U = L::load(&in.U[i]);
    r.V = L::load(&in.V[i]);
    r.sc.TU = L::load(&b.TU[i]);
    r.sc.TV = L::load(&b.TV[i]);
    r.ok = L::load_mask(&b.ok[i]);
    // A model that finds no hit height (a curvature that is not a number)
    // leaves it not a number.
    r.Z1 = D(NOT_A_NUMBER);
    model(ss, r);
    L::store(&out.X[i], r.X1);
    L::store(&out.Y[i], r.Y1);
    L::store(&out.Z[i], r.Z1);
    L::store(&out.U[i], r.U1);
    L::store(&out.V[i], r.V1);
    L::store_mask(&b.ok[i], r.ok);
    if (tangents_after) {
      L::store(&b.TU[i], L::tan(r.U1));
      L::store(&b.TV[i], L::tan(r.V1));
    }
  }
  b.cur ^= 1;
}

template <class L>
inline void trace_block(const SurfaceStep* steps, int count, RayBlock& b) {
  for (int s = 0; s < count; ++s) {
    const SurfaceStep& ss = steps[s];
    const bool tangents_after = s + 1 < count;
    with_surface_model<L>(ss.type, [&]<auto model>() { step_block<L, model>(ss, b, tangents_after); });
  }
}

}  // namespace varnock
