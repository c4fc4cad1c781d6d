// The sphere shared by the refracting sphere and the spherical mirrors:
// where the incoming ray meets it and the unit normal there.
//
// The surface is the sphere of curvature CV (1/R; 0 makes it the plane
// z = ZS) with its vertex at (DX, DY, ZS) and its centre at
// (DX, DY, ZS + 1/CV): beyond the vertex for CV > 0, before it for CV < 0.
// Putting the ray line (X0 - TU z, Y0 - TV z, z) into
//   (x - DX)^2 + (y - DY)^2 + (z - ZS)^2 - 2 (z - ZS)/CV = 0
// gives QA z^2 + QB z + QC = 0 with
//   QA = 1 + TU^2 + TV^2
//   QB = -2 (ZS + 1/CV + TU X0 + TV Y0)
//   QC = ZS^2 + 2 ZS/CV + X0^2 + Y0^2.
// The root taken is the one on the vertex's half of the sphere: the smaller
// z for CV > 0, the larger for CV < 0. A curvature that is not a number
// takes neither root and leaves Z1 as it was. The normal,
// (centre - hit) * CV, is a unit vector that is (0, 0, 1) at the vertex for
// either sign of CV, so it points the way the ray travels. A plane leaves
// QA, QB and QC as they were.
#pragma once

#include "trace/surface_geometry.h"

namespace varnock {

// Sets X0, Y0, the hit point X1, Y1, Z1 and the normal NX, NY, NZ. The
// decentres may differ from ray to ray (a lens array picks a lenslet for
// each); the tilted mirror hands in its moved sphere.
template <class L>
inline void meet_sphere(double CV, typename L::D DX, typename L::D DY, double ZS,
                        StepRays<L>& r) {
  auto& q = r.sc;
  enter_surface<L>(r, DX, DY);

  if (CV == 0) {
    r.Z1 = typename L::D(ZS);
  } else {
    q.QA = 1.0 + q.TU * q.TU + q.TV * q.TV;
    q.QB = -2.0 * (ZS + 1 / CV + q.TU * q.X0 + q.TV * q.Y0);
    q.QC = ZS * ZS + 2 * ZS / CV + q.X0 * q.X0 + q.Y0 * q.Y0;
    vertex_side_root<L>(r, CV);
  }
  transfer_to_hit<L>(r);

  // For a plane NX and NY are products with 0, so a lost ray stays lost.
  q.NX = (DX - r.X1) * CV;
  q.NY = (DY - r.Y1) * CV;
  if (CV != 0) {
    q.NZ = (ZS - r.Z1 + 1 / CV) * CV;
  } else {
    q.NZ = typename L::D(1.0);
  }
}

}  // namespace varnock
