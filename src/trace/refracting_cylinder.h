// Refracting cylinder, type code 4.
//
// Surface s+1 is curved in the y-z plane only: a circular cylinder of
// curvature CV = CV[s+1] whose axis runs parallel to x. Its vertex line lies
// at y = DY[s+1], z = ZS[s] and its centre line at y = DY[s+1],
// z = ZS[s] + 1/CV: beyond the vertex for CV > 0, before it for CV < 0. It
// has power in y and none in x; CV = 0 makes it the plane z = ZS[s]. The
// cylinder is unbounded: a ray is refracted wherever it meets it.
//
// Putting the ray line (X0 - TU z, Y0 - TV z, z) into
//   (y - DY)^2 + (z - ZS)^2 - 2 (z - ZS)/CV = 0,
// which holds for every x, gives QA z^2 + QB z + QC = 0 with
//   QA = 1 + TV^2
//   QB = -2 (ZS + 1/CV + TV Y0)
//   QC = ZS^2 + 2 ZS/CV + Y0^2.
// This is the refracting sphere with the x terms taken out: those three
// coefficients and the normal's x component, NX = +0 in place of
// (DX - X) CV, are the only differences. The root choice, the transfer to
// the hit point, NY, NZ and the refraction step are the sphere's. The x
// decentre DX[s+1] enters only X0, which nothing here uses further, so it
// has no effect. The ray keeps its slope in x up to the cylinder, so X[s+1]
// is the true x of the hit point. The medium before the surface has the
// active set's index RN[w][s], the one after it RN[w][s+1]; the sums are
// evaluated left to right.
#pragma once

#include "trace/bend_step.h"
#include "trace/surface_geometry.h"

namespace varnock {

// The cylinder with its vertex line at y = DY: the sheet's decentre, or the
// lenslet the cylindrical lens array picked for each ray.
template <class L>
inline void refracting_cylinder(const SurfaceStep& ss, typename L::D DY, StepRays<L>& r) {
  using D = typename L::D;
  auto& q = r.sc;
  const double CV = ss.CV;
  const double ZS = ss.ZS;
  enter_surface<L>(r, D(ss.DX), DY);

  if (CV == 0) {
    r.Z1 = D(ZS);
  } else {
    q.QA = 1.0 + q.TV * q.TV;
    q.QB = -2.0 * (ZS + 1 / CV + q.TV * q.Y0);
    q.QC = ZS * ZS + 2 * ZS / CV + q.Y0 * q.Y0;
    vertex_side_root<L>(r, CV);
  }
  transfer_to_hit<L>(r);

  q.NX = D(+0.0);
  q.NY = (DY - r.Y1) * CV;
  if (CV != 0) {
    q.NZ = (ZS - r.Z1 + 1 / CV) * CV;
  } else {
    q.NZ = D(1.0);
  }

  refract<L>(r, ss.n_before, ss.n_after);
}

template <class L>
inline void surf4(const SurfaceStep& ss, StepRays<L>& r) {
  refracting_cylinder<L>(ss, typename L::D(ss.DY), r);
}

}  // namespace varnock
