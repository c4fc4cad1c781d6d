// Ellipsoidal mirror, type code 8.
//
// A concave mirror shaped as an ellipsoid of revolution, given by its focal
// distances f1 = CV[s+1] and f2 = PA[s+1] (measured from the vertex) rather
// than by a curvature. Its axis is parallel to z through (DX[s+1], DY[s+1]),
// its vertex is at z = ZS[s], and it extends from there towards -z, with
// both foci on the axis in front of the vertex, at ZS[s] - f1 and
// ZS[s] - f2. With the semi-axes a = (f1 + f2)/2 along z and
// b = sqrt(f1 f2) across, it is
//   (z - ZS + a)^2 / a^2 + ((x - DX)^2 + (y - DY)^2) / b^2 = 1,
// and the ray line (X0 - TU z, Y0 - TV z, z) meets it where
// QA z^2 + QB z + QC = 0 with
//   QA = 1/a^2 + (TU^2 + TV^2)/b^2
//   QB = 2 (a - ZS)/a^2 - 2 (X0 TU + Y0 TV)/b^2
//   QC = (a - ZS)^2/a^2 + (X0^2 + Y0^2)/b^2 - 1.
// Light from the first focus is sent through the second, which after the
// unfold lies at ZS[s] + f2.
//
// A forward ray meets the cap at the vertex (the larger root). A backward
// ray (an angle at or beyond PI/2, as the fan marks its cones beyond 90
// degrees) meets the far cap (the smaller root), so that a ray from inside
// the ellipsoid meets it whichever way it travels. A backward ray is worked
// out in a frame turned half a turn about the mirror's own axis: its hit
// point is stored as 2 DX - x, 2 DY - y, its direction of travel is turned
// the same way (only EZ changes sign), and the reflected F is negated back
// before its angles are taken (which changes only F itself: the angles
// depend on its ratios). Turning about the mirror's axis rather than about
// the z axis keeps the turned point on a decentred mirror, so that its
// normal is the true one there, and a backward ray from the first focus of
// a decentred mirror still passes through the mirrored second focus.
//
// The normal is the outward one, (x - DX, y - DY, -d) made unit with
// d = -b^2 (z + a - ZS)/a^2; it is (0, 0, 1) at the vertex and points
// towards -z on the far cap. After the reflection the system is unfolded in
// the vertex plane z = ZS[s]: Z[s+1] becomes 2 ZS[s] minus the hit height and
// U, V change sign; X[s+1], Y[s+1] stay as the hit point was stored.
//
// f1 = 0 describes no ellipsoid. Such a surface traces as the spherical
// mirror with CV = 0: a plane mirror at z = ZS[s], working only from the
// incoming ray, never from values an earlier step or ray left behind.
// Focal distances of opposite signs, or f2 = 0, give not-a-number rays. No
// refractive index is read.
#pragma once

#include <cmath>

#include "trace/bend_step.h"
#include "trace/sphere_surface.h"
#include "trace/surface_geometry.h"

namespace varnock {

template <class L>
inline void surf8(const SurfaceStep& ss, StepRays<L>& r) {
  using D = typename L::D;
  const double f1 = ss.CV;
  const double ZS = ss.ZS;
  if (f1 == 0) {
    meet_sphere<L>(0.0, D(ss.DX), D(ss.DY), ZS, r);
    reflect<L>(r, ZS);
    return;
  }

  auto& q = r.sc;
  const double f2 = ss.PA;
  const double a = (f1 + f2) / 2;
  const double b = std::sqrt(f1 * f2);
  enter_surface<L>(r, D(ss.DX), D(ss.DY));
  const typename L::M forward = travels_forward<L>(ss.PI, r.U, r.V);

  q.QA = 1 / (a * a) + (q.TU * q.TU + q.TV * q.TV) / (b * b);
  q.QB = 2 * (a - ZS) / (a * a) - 2.0 * (q.X0 * q.TU + q.Y0 * q.TV) / (b * b);
  q.QC = (a - ZS) * (a - ZS) / (a * a) + (q.X0 * q.X0 + q.Y0 * q.Y0) / (b * b) - 1.0;
  const D root = L::sqrt(q.QB * q.QB - 4.0 * q.QA * q.QC);
  r.Z1 = L::select(forward, (-q.QB + root) / (2.0 * q.QA), (-q.QB - root) / (2.0 * q.QA));
  // A backward ray's hit point is turned half a turn about the mirror's axis.
  const D hit_x = r.X - q.TU * (r.Z1 - r.Z);
  const D hit_y = r.Y - q.TV * (r.Z1 - r.Z);
  r.X1 = L::select(forward, hit_x, 2 * ss.DX - hit_x);
  r.Y1 = L::select(forward, hit_y, 2 * ss.DY - hit_y);

  const D hx = r.X1 - ss.DX;
  const D hy = r.Y1 - ss.DY;
  const D d = ((-b) * b) * ((r.Z1 + a) - ZS) / (a * a);
  const D g = L::sqrt(d * d + hx * hx + hy * hy);
  q.NX = hx / g;
  q.NY = hy / g;
  q.NZ = -d / g;

  half_turned_incoming_direction<L>(q, forward);
  mirror_turn<L>(q);
  reverse_outgoing_direction<L>(q, L::negate(forward));
  outgoing_angles<L>(r);
  unfold<L>(r, ZS);
}

}  // namespace varnock
