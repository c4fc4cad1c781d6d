// Two-dimensional lens array (fly's-eye array), type code 7.
//
// Surface s+1 is a rectangular grid of identical refracting spheres (see
// surf1) with curvature CV[s+1], their vertices in the plane z = ZS[s], at
// the pitch PA[s+1] in x and PB[s+1] in y. The grid is anchored at the
// surface's own decentres dx = DX[s+1], dy = DY[s+1]: lenslet (i, j), for
// any integers, has its vertex at (dx + PA i, dy + PB j), so one lenslet is
// centred on (dx, dy).
//
// The lenslet is chosen once, where the incoming ray crosses the vertex
// plane, measured from (dx, dy): i = floor((x - dx)/PA + 1/2) and likewise
// j in y, which sends a ray exactly on a border to the lenslet with the
// larger index. The sphere step takes that lenslet's vertex, ray by ray;
// the surface table keeps dx and dy. The ray is refracted by the chosen
// lenslet's full sphere, even where it meets it beyond the lenslet's edge:
// there is no clipping at the borders and no second choice.
//
// A pitch of 0 gives an infinite quotient (NaN for a ray exactly at dx or
// dy), and 0 times the floored value is NaN, so that decentre, and with it
// the ray's angles at s+1, are not numbers whatever the curvature; the
// binning rejects the ray.
#pragma once

#include "trace/refracting_sphere.h"
#include "trace/surface_geometry.h"

namespace varnock {

template <class L>
inline void surf7(const SurfaceStep& ss, StepRays<L>& r) {
  using D = typename L::D;
  const double PA = ss.PA;
  const double PB = ss.PB;
  carry_to_vertex_plane<L>(r, ss.ZS);

  const double dx = ss.DX;
  const double dy = ss.DY;
  const D lenslet_x = dx + PA * L::floor((r.X1 - dx) / PA + 0.5);
  const D lenslet_y = dy + PB * L::floor((r.Y1 - dy) / PB + 0.5);
  refracting_sphere<L>(ss, lenslet_x, lenslet_y, r);
}

}  // namespace varnock
