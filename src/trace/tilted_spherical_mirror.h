// Tilted spherical mirror, type code 9.
//
// A spherical mirror of curvature CV = CV[s+1] tilted about the point
// (0, 0, z0), z0 = ZS[s], where it meets the axis: by PA[s+1] in the x-z
// plane and PB[s+1] in the y-z plane, both in radians. The tilt moves the
// sphere's centre sideways to
//   DX = -sin(PA)/CV,  DY = -sin(PB)/CV,
// in place of the surface's decentres (a type-9 surface never uses the
// sheet's), and along z by shifting the vertex the sphere is intersected
// with: with B = sqrt(1/CV^2 - DX^2 - DY^2), the axial
// distance from the centre to (0, 0, z0), the vertex moves to
//   z0 + (-1/CV - B)  for CV < 0,   z0 - (1/CV - B)  otherwise,
// which puts the centre at z0 + B (CV > 0) or z0 - B (CV < 0), so the sphere
// still passes through (0, 0, z0) and its normal there leans by the tilts,
// (-sin PA, -sin PB, sqrt(1 - sin^2 PA - sin^2 PB)).
//
// On that moved sphere the ray is reflected as on the spherical mirror
// (sphere_surface.h: the equation, the root and the normal), every ray
// taken as travelling towards +z. The moved sphere is the same for every
// ray and is worked out once per surface and scan step (place_tilted_sphere).
// Then the outgoing angles are measured from the folded axis by subtracting
// twice the tilts, and the system is unfolded about the vertex plane of the
// sheet, z = z0: Z[s+1] = 2 z0 minus the hit height, U, V change sign.
// An axial ray with one tilt leaves along the axis of the surfaces that
// follow. A tilted mirror has to be curved: CV = 0 gives a not-a-number ray,
// as do tilts with sin^2 PA + sin^2 PB > 1. No refractive index is read.
#pragma once

#include <cmath>

#include "trace/bend_step.h"
#include "trace/sphere_surface.h"

namespace varnock {

// The moved sphere, the same for every ray: its centre sideways at
// (-sin PA / CV, -sin PB / CV) and its vertex shifted along z so that it
// still passes through (0, 0, ZS). Written into the step's tilt fields.
inline void place_tilted_sphere(SurfaceStep& ss) {
  const double CV = ss.CV;
  ss.tilt_DX = -std::sin(ss.PA) / CV;
  ss.tilt_DY = -std::sin(ss.PB) / CV;
  const double B = std::sqrt(1 / (CV * CV) - ss.tilt_DX * ss.tilt_DX - ss.tilt_DY * ss.tilt_DY);
  if (CV < 0) {
    ss.tilt_ZS = ss.ZS + (-1 / CV - B);
  } else {
    ss.tilt_ZS = ss.ZS - (1 / CV - B);
  }
}

template <class L>
inline void surf9(const SurfaceStep& ss, StepRays<L>& r) {
  using D = typename L::D;
  meet_sphere<L>(ss.CV, D(ss.tilt_DX), D(ss.tilt_DY), ss.tilt_ZS, r);
  incoming_direction<L>(r.sc);
  mirror_turn<L>(r.sc);
  outgoing_angles<L>(r);

  r.U1 = r.U1 - 2 * ss.PA;
  r.V1 = r.V1 - 2 * ss.PB;
  unfold<L>(r, ss.ZS);
}

}  // namespace varnock
