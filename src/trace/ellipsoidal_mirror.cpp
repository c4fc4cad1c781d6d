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
#include <cmath>

#include "trace/bend_step.h"
#include "trace/sphere_surface.h"
#include "trace/surface_geometry.h"
#include "trace/surface_models.h"

namespace varnock {

void surf8(const Optics& o, RayState& r, int s) {
  const double f1 = o.surf.CV[s + 1];
  if (f1 == 0) {
    meet_sphere(0.0, r, s);
    reflect(r, s);
    return;
  }

  TraceScratch& q = r.sc;
  const double f2 = o.surf.PA[s + 1];
  const double ZS = r.ZS[s];
  const double a = (f1 + f2) / 2;
  const double b = std::sqrt(f1 * f2);
  enter_surface(r, s);
  const bool forward = travels_forward(o.PI, r.U[s], r.V[s]);

  q.QA = 1 / (a * a) + (q.TU * q.TU + q.TV * q.TV) / (b * b);
  q.QB = 2 * (a - ZS) / (a * a) - 2 * (q.X0 * q.TU + q.Y0 * q.TV) / (b * b);
  q.QC = (a - ZS) * (a - ZS) / (a * a) + (q.X0 * q.X0 + q.Y0 * q.Y0) / (b * b) - 1;
  if (forward) {
    r.Z[s + 1] = (-q.QB + std::sqrt(q.QB * q.QB - 4 * q.QA * q.QC)) / (2 * q.QA);
    transfer_to_hit(r, s);
  } else {
    r.Z[s + 1] = (-q.QB - std::sqrt(q.QB * q.QB - 4 * q.QA * q.QC)) / (2 * q.QA);
    r.X[s + 1] = 2 * r.DX[s + 1] - (r.X[s] - q.TU * (r.Z[s + 1] - r.Z[s]));
    r.Y[s + 1] = 2 * r.DY[s + 1] - (r.Y[s] - q.TV * (r.Z[s + 1] - r.Z[s]));
  }

  const double hx = r.X[s + 1] - r.DX[s + 1];
  const double hy = r.Y[s + 1] - r.DY[s + 1];
  const double d = ((-b) * b) * ((r.Z[s + 1] + a) - ZS) / (a * a);
  const double g = std::sqrt(d * d + hx * hx + hy * hy);
  q.NX = hx / g;
  q.NY = hy / g;
  q.NZ = -d / g;

  if (forward) {
    incoming_direction(q);
  } else {
    half_turned_incoming_direction(q);
  }
  mirror_turn(q);
  if (!forward) reverse_outgoing_direction(q);
  outgoing_angles(r, s);
  unfold(r, s);
}

}  // namespace varnock
