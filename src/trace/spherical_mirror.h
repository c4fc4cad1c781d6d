// Spherical mirror, type code 2.
//
// The mirror is the sphere of the refracting sphere: curvature CV = CV[s+1]
// (1/R; 0 makes it the plane mirror z = ZS[s]), vertex at (DX[s+1], DY[s+1],
// ZS[s]), centre at (DX[s+1], DY[s+1], ZS[s] + 1/CV), with the equation, the
// root and the normal of sphere_surface.h. Seen by a ray arriving from
// smaller z, a mirror with CV < 0 (centre before the vertex) is concave and
// turns a parallel ray towards the axis, one with CV > 0 is convex and turns
// it away: a ray parallel to the axis at height h leaves at U = -2 asin(h CV).
//
// After the reflection the system is unfolded in the vertex plane z = ZS[s]:
// Z[s+1] becomes 2 ZS[s] minus the hit height and U, V change sign, so the
// stored ray travels on towards +z and the surfaces after the mirror follow
// at their positive spacings. X[s+1], Y[s+1] stay the hit point's. A mirror
// reads no refractive index, and every ray that meets it is reflected.
#pragma once

#include "trace/bend_step.h"
#include "trace/sphere_surface.h"

namespace varnock {

template <class L>
inline void surf2(const SurfaceStep& ss, StepRays<L>& r) {
  meet_sphere<L>(ss.CV, typename L::D(ss.DX), typename L::D(ss.DY), ss.ZS, r);
  reflect<L>(r, ss.ZS);
}

}  // namespace varnock
