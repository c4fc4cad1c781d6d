#include "trace/sphere_surface.h"

#include <cmath>

#include "trace/surface_geometry.h"

namespace varnock {

void meet_sphere(double CV, RayState& r, int s) {
  TraceScratch& q = r.sc;
  const double ZS = r.ZS[s];
  enter_surface(r, s);

  if (CV == 0) {
    r.Z[s + 1] = ZS;
  } else {
    q.QA = 1 + q.TU * q.TU + q.TV * q.TV;
    q.QB = -2 * (ZS + 1 / CV + q.TU * q.X0 + q.TV * q.Y0);
    q.QC = ZS * ZS + 2 * ZS / CV + q.X0 * q.X0 + q.Y0 * q.Y0;
    vertex_side_root(r, s, CV);
  }
  transfer_to_hit(r, s);

  // For a plane NX and NY are products with 0, so a lost ray stays lost.
  q.NX = (r.DX[s + 1] - r.X[s + 1]) * CV;
  q.NY = (r.DY[s + 1] - r.Y[s + 1]) * CV;
  q.NZ = CV != 0 ? (ZS - r.Z[s + 1] + 1 / CV) * CV : 1;
}

}  // namespace varnock
