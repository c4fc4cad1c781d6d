// Refracting sphere, type code 1 and every code without a model of its own.
//
// Surface s+1 is the sphere of curvature CV = CV[s+1] (1/R; 0 makes it the
// plane z = ZS[s]) with its vertex at (DX[s+1], DY[s+1], ZS[s]): its
// equation, the root taken and the normal are in sphere_surface.h. The
// centre lies beyond the vertex for CV > 0, before it for CV < 0. The medium
// before the surface has the active set's index RN[w][s], the one after it
// RN[w][s+1]; the sums are evaluated left to right.
#pragma once

#include "trace/bend_step.h"
#include "trace/sphere_surface.h"

namespace varnock {

// The sphere with its vertex at (DX, DY): the sheet's decentres, or the
// lenslet a lens array picked for each ray.
template <class L>
inline void refracting_sphere(const SurfaceStep& ss, typename L::D DX, typename L::D DY,
                              StepRays<L>& r) {
  meet_sphere<L>(ss.CV, DX, DY, ss.ZS, r);
  refract<L>(r, ss.n_before, ss.n_after);
}

template <class L>
inline void surf1(const SurfaceStep& ss, StepRays<L>& r) {
  refracting_sphere<L>(ss, typename L::D(ss.DX), typename L::D(ss.DY), r);
}

}  // namespace varnock
