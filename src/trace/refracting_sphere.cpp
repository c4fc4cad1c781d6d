// Refracting sphere, type code 1 and every code without a model of its own.
//
// Surface s+1 is the sphere of curvature CV = CV[s+1] (1/R; 0 makes it the
// plane z = ZS[s]) with its vertex at (DX[s+1], DY[s+1], ZS[s]) and its
// centre at (DX[s+1], DY[s+1], ZS[s] + 1/CV): beyond the vertex for CV > 0,
// before it for CV < 0. Putting the ray line (X0 - TU z, Y0 - TV z, z) into
//   (x - DX)^2 + (y - DY)^2 + (z - ZS)^2 - 2 (z - ZS)/CV = 0
// gives QA z^2 + QB z + QC = 0 with
//   QA = 1 + TU^2 + TV^2
//   QB = -2 (ZS + 1/CV + TU X0 + TV Y0)
//   QC = ZS^2 + 2 ZS/CV + X0^2 + Y0^2.
// The root taken is the one on the vertex's half of the sphere: the smaller
// z for CV > 0, the larger for CV < 0. A curvature that is not a number
// takes neither root and leaves Z[s+1] as it was; its angles come out as
// not-a-number all the same. The normal, (centre - hit) * CV, is a unit
// vector that is (0, 0, 1) at the vertex for either sign of CV, so it points
// the way the ray travels. The medium before the surface has index RN0[s],
// the one after it RN0[s+1]; the sums are evaluated left to right.
#include "trace/bend_step.h"
#include "trace/surface_geometry.h"
#include "trace/surface_models.h"

namespace varnock {

void surf1(const Optics& o, RayState& r, int s) {
  TraceScratch& q = r.sc;
  const double CV = o.surf.CV[s + 1];
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

  refract(r, s);
}

}  // namespace varnock
