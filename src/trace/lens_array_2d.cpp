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
// larger index. For the one sphere step the working decentres are moved
// onto that lenslet's vertex; afterwards they hold dx and dy again. The ray
// is refracted by the chosen lenslet's full sphere, even where it meets it
// beyond the lenslet's edge: there is no clipping at the borders and no
// second choice.
//
// A pitch of 0 gives an infinite quotient (NaN for a ray exactly at dx or
// dy), and 0 times the floored value is NaN, so that decentre, and with it
// the ray's angles at s+1, are not numbers whatever the curvature; the
// binning rejects the ray. The decentres are restored all the same.
#include <cmath>

#include "trace/surface_geometry.h"
#include "trace/surface_models.h"

namespace varnock {

void surf7(const Optics& o, RayState& r, int s) {
  const double PA = o.surf.PA[s + 1];
  const double PB = o.surf.PB[s + 1];
  carry_to_vertex_plane(r, s);

  const double dx = r.DX[s + 1];
  const double dy = r.DY[s + 1];
  r.DX[s + 1] = dx + PA * std::floor((r.X[s + 1] - dx) / PA + 0.5);
  r.DY[s + 1] = dy + PB * std::floor((r.Y[s + 1] - dy) / PB + 0.5);
  surf1(o, r, s);
  r.DX[s + 1] = dx;
  r.DY[s + 1] = dy;
}

}  // namespace varnock
