// Paraboloidal mirror, type code 3.
//
// The mirror opens towards smaller z, whatever the sign of CV = CV[s+1]: its
// focal distance is f = |0.5/CV| (half the vertex radius), its vertex is at
// (DX[s+1], DY[s+1], ZS[s]) and its focus at (DX[s+1], DY[s+1], ZS[s] - f).
// It is the unbounded surface
//   (x - DX)^2 + (y - DY)^2 = 4 f (ZS - z),
// and CV = 0 makes it the plane mirror z = ZS[s]. Putting the ray line
// (X0 - TU z, Y0 - TV z, z) into it gives QA z^2 + QB z + QC = 0 with
//   QA = TU^2 + TV^2
//   QB = 2 (2f - X0 TU - Y0 TV)
//   QC = X0^2 + Y0^2 - 4 ZS f.
// A ray parallel to the axis has QA = 0 exactly and meets the mirror once,
// at -QC/QB; a nearly parallel one still takes the quadratic formula.
//
// The mirror tells backward rays (an angle at or beyond PI/2, as the fan
// gives its cones beyond 90 degrees) from forward ones. A forward ray meets
// it at the larger root, a backward ray at the smaller one, on the far side
// of the bowl, and its incoming direction is reversed so that it is the
// direction it truly travels in. A point source at the focus thus sends its
// forward and its backward rays out parallel to the axis.
//
// The normal is the gradient (x - DX, y - DY, 2f) made unit, (0, 0, 1) at
// the vertex and with a positive z component everywhere; for CV = 0 the
// length is infinite and the normal comes out as (0, 0, 1). After the
// reflection the system is unfolded in the vertex plane z = ZS[s]: Z[s+1]
// becomes 2 ZS[s] minus the hit height and U, V change sign; X[s+1], Y[s+1]
// stay the hit point's. No refractive index is read.
#pragma once

#include <cmath>

#include "trace/bend_step.h"
#include "trace/surface_geometry.h"

namespace varnock {

template <class L>
inline void surf3(const SurfaceStep& ss, StepRays<L>& r) {
  using D = typename L::D;
  auto& q = r.sc;
  const double CV = ss.CV;
  const double ZS = ss.ZS;
  const double f = std::fabs(0.5 / CV);  // infinite for a plane
  enter_surface<L>(r, D(ss.DX), D(ss.DY));
  const typename L::M forward = travels_forward<L>(ss.PI, r.U, r.V);

  if (CV == 0) {
    r.Z1 = D(ZS);
  } else {
    q.QA = q.TU * q.TU + q.TV * q.TV;
    q.QB = 2.0 * (2 * f - q.X0 * q.TU - q.Y0 * q.TV);
    q.QC = q.X0 * q.X0 + q.Y0 * q.Y0 - 4 * ZS * f;
    const D root = L::sqrt(q.QB * q.QB - 4.0 * q.QA * q.QC);
    const D far_side = L::select(forward, (-q.QB + root) / (2.0 * q.QA),
                                 (-q.QB - root) / (2.0 * q.QA));
    r.Z1 = L::select(q.QA == 0.0, -q.QC / q.QB, far_side);
  }
  transfer_to_hit<L>(r);

  const D hx = r.X1 - ss.DX;
  const D hy = r.Y1 - ss.DY;
  const D length = L::sqrt(4 * f * f + hx * hx + hy * hy);
  q.NX = hx / length;
  q.NY = hy / length;
  if (CV == 0) {
    q.NZ = D(1.0);
  } else {
    q.NZ = 2 * f / length;
  }

  directed_incoming_direction<L>(q, forward);
  mirror_turn<L>(q);
  outgoing_angles<L>(r);
  unfold<L>(r, ZS);
}

}  // namespace varnock
