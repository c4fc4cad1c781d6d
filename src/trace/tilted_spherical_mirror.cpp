// Tilted spherical mirror, type code 9.
//
// A spherical mirror of curvature CV = CV[s+1] tilted about the point
// (0, 0, z0), z0 = ZS[s], where it meets the axis: by PA[s+1] in the x-z
// plane and PB[s+1] in the y-z plane, both in radians. The tilt moves the
// sphere's centre sideways to
//   DX[s+1] = -sin(PA)/CV,  DY[s+1] = -sin(PB)/CV,
// which overwrite the surface's working decentres for good (a type-9
// surface never uses decentres of its own), and along z by shifting the
// vertex while the step runs: with B = sqrt(1/CV^2 - DX^2 - DY^2), the axial
// distance from the centre to (0, 0, z0), the vertex moves to
//   z0 + (-1/CV - B)  for CV < 0,   z0 - (1/CV - B)  otherwise,
// which puts the centre at z0 + B (CV > 0) or z0 - B (CV < 0), so the sphere
// still passes through (0, 0, z0) and its normal there leans by the tilts,
// (-sin PA, -sin PB, sqrt(1 - sin^2 PA - sin^2 PB)).
//
// On that moved sphere the ray is reflected as on the spherical mirror
// (sphere_surface.h: the equation, the root and the normal), every ray
// taken as travelling towards +z. Then the vertex goes back to z0 bit for
// bit, the outgoing angles are measured from the folded axis by subtracting
// twice the tilts, and the system is unfolded about the restored vertex
// plane z = z0: Z[s+1] = 2 z0 minus the hit height, U, V change sign.
// An axial ray with one tilt leaves along the axis of the surfaces that
// follow. A tilted mirror has to be curved: CV = 0 gives a not-a-number ray,
// as do tilts with sin^2 PA + sin^2 PB > 1. No refractive index is read.
#include <cmath>

#include "trace/bend_step.h"
#include "trace/sphere_surface.h"
#include "trace/surface_models.h"

namespace varnock {

void surf9(const Optics& o, RayState& r, int s) {
  const double CV = o.surf.CV[s + 1];
  const double PA = o.surf.PA[s + 1];
  const double PB = o.surf.PB[s + 1];
  const double z0 = r.ZS[s];

  r.DX[s + 1] = -std::sin(PA) / CV;
  r.DY[s + 1] = -std::sin(PB) / CV;
  const double B = std::sqrt(1 / (CV * CV) - r.DX[s + 1] * r.DX[s + 1] - r.DY[s + 1] * r.DY[s + 1]);
  if (CV < 0) {
    r.ZS[s] = r.ZS[s] + (-1 / CV - B);
  } else {
    r.ZS[s] = r.ZS[s] - (1 / CV - B);
  }

  TraceScratch& q = r.sc;
  meet_sphere(CV, r, s);
  incoming_direction(q);
  mirror_turn(q);
  outgoing_angles(r, s);

  r.ZS[s] = z0;
  r.U[s + 1] = r.U[s + 1] - 2 * PA;
  r.V[s + 1] = r.V[s + 1] - 2 * PB;
  unfold(r, s);
}

}  // namespace varnock
