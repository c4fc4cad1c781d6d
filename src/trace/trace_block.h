// The block tracer, written once over the lane policy L: every surface
// step runs over the whole block with its model chosen once, L::width rays
// at a time.
#pragma once

#include "trace/bin_cells.h"
#include "trace/ray_block.h"
#include "trace/surface_models.h"

namespace varnock {

// One surface step for every ray of the block, with the model given. When
// tangents_after is set it also takes tan U and tan V of the rays at s+1 for
// the next step.
template <class L, auto model>
inline void step_block(const SurfaceStep& surface, RayBlock& b, bool tangents_after) {
  using D = typename L::D;
  // A copy of its own: the stores into the block's columns cannot touch it,
  // so what depends on the surface alone (1/CV, ZS^2 + 2 ZS/CV, ...) is
  // worked out once for the block rather than for every ray.
  const SurfaceStep ss = surface;
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
  }
  // The tangents in a loop of their own: little else is live across the
  // maths calls there, so a vector policy spills nothing around them.
  if (tangents_after) {
    for (int i = 0; i < b.padded; i += L::width) {
      L::store(&b.TU[i], L::tan(L::load(&out.U[i])));
      L::store(&b.TV[i], L::tan(L::load(&out.V[i])));
    }
  }
  b.cur ^= 1;
}

// The cells of every ray of the block at its current surface (-1 in all
// four for a ray that is not binned).
template <class L>
inline void bin_block(RayBlock& b) {
  bin_cells<L>(b, b.side[b.cur], [&](int i) { return L::load_mask(&b.ok[i]); });
}

template <class L>
inline void trace_block(const SurfaceStep* steps, int count, RayBlock& b) {
  for (int s = 0; s < count; ++s) {
    const SurfaceStep& ss = steps[s];
    const bool tangents_after = s + 1 < count;
    with_surface_model<L>(ss.type, [&]<auto model>() { step_block<L, model>(ss, b, tangents_after); });
  }
  bin_block<L>(b);
}

}  // namespace varnock
