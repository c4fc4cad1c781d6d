// Circular aperture, type code 6: a stop in front of a refracting sphere.
//
// The stop is the circle of radius |PA[s+1]| about the optical axis
// (x = y = 0) in the vertex plane z = ZS[s]. It stays on the axis whatever
// the surface's decentres: DX[s+1] and DY[s+1] move the lens behind it, not
// the stop. A ray passes only when it crosses that plane strictly inside the
// circle, PA^2 > x^2 + y^2, so the rim itself blocks; a crossing point that
// is not a number (the ray missed an earlier surface) or is infinite fails
// the test as well. A blocked ray has RAYOK cleared; a passing ray leaves
// RAYOK as it was, so a ray lost earlier stays lost. PB[s+1] is not used.
//
// Every ray, blocked or not, is then refracted by surface s+1 exactly as by
// the refracting sphere (surf1), with CV[s+1], DX[s+1] and DY[s+1]: the
// tracer carries lost rays on and the binning leaves them out. A pure stop
// is CV = 0 with the same index on both sides.
#pragma once

#include "trace/refracting_sphere.h"
#include "trace/surface_geometry.h"

namespace varnock {

template <class L>
inline void surf6(const SurfaceStep& ss, StepRays<L>& r) {
  using D = typename L::D;
  const double PA = ss.PA;
  carry_to_vertex_plane<L>(r, ss.ZS);
  const D x = r.X1;
  const D y = r.Y1;
  r.ok = L::both(r.ok, D(PA * PA) > x * x + y * y);
  surf1<L>(ss, r);
}

}  // namespace varnock
