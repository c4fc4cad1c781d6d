// Cylindrical lens array (lenticular sheet), type code 5.
//
// Surface s+1 is a row of identical refracting cylinders (see surf4) with
// curvature CV[s+1], their vertex lines parallel to x in the plane
// z = ZS[s], side by side in y at the pitch PA = PA[s+1]: lenslet k (any
// integer) has its vertex line at y = PA k. The grid is anchored at the
// optical axis y = 0, so the sheet's y decentre of this surface has no
// effect, and neither has its x decentre (a cylinder ignores it). PB[s+1]
// is not used.
//
// The lenslet is chosen once, where the incoming ray crosses the vertex
// plane: k = floor(y/PA + 1/2), which sends a ray exactly on a border to the
// lenslet with the larger k (for a negative pitch, the one at smaller y).
// Its centre PA k is the vertex line of the cylinder step, ray by ray; the
// surface table is not touched. The ray is then refracted
// by that lenslet's full cylinder, even where it meets it beyond the
// lenslet's edge: there is no clipping at the borders and no second choice.
//
// A pitch of 0 gives y/0 = +-inf (or 0/0 = NaN on the axis) and 0 times
// the floored value is NaN, so the centre, and with it the ray's angles at
// s+1, are not numbers whatever the curvature; the binning rejects the ray.
#pragma once

#include "trace/refracting_cylinder.h"
#include "trace/surface_geometry.h"

namespace varnock {

template <class L>
inline void surf5(const SurfaceStep& ss, StepRays<L>& r) {
  const double PA = ss.PA;
  carry_to_vertex_plane<L>(r, ss.ZS);
  const typename L::D lenslet_y = PA * L::floor(r.Y1 / PA + 0.5);
  refracting_cylinder<L>(ss, lenslet_y, r);
}

}  // namespace varnock
