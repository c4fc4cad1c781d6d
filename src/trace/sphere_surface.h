// The sphere shared by the refracting sphere and the spherical mirrors:
// where the incoming ray meets it and the unit normal there.
//
// Surface s+1 is the sphere of curvature CV (1/R; 0 makes it the plane
// z = ZS[s]) with its vertex at (DX[s+1], DY[s+1], ZS[s]) and its centre at
// (DX[s+1], DY[s+1], ZS[s] + 1/CV): beyond the vertex for CV > 0, before it
// for CV < 0. Putting the ray line (X0 - TU z, Y0 - TV z, z) into
//   (x - DX)^2 + (y - DY)^2 + (z - ZS)^2 - 2 (z - ZS)/CV = 0
// gives QA z^2 + QB z + QC = 0 with
//   QA = 1 + TU^2 + TV^2
//   QB = -2 (ZS + 1/CV + TU X0 + TV Y0)
//   QC = ZS^2 + 2 ZS/CV + X0^2 + Y0^2.
// The root taken is the one on the vertex's half of the sphere: the smaller
// z for CV > 0, the larger for CV < 0. A curvature that is not a number
// takes neither root and leaves Z[s+1] as it was. The normal,
// (centre - hit) * CV, is a unit vector that is (0, 0, 1) at the vertex for
// either sign of CV, so it points the way the ray travels. A plane leaves
// QA, QB and QC as they were.
#pragma once

#include "model/model.h"

namespace varnock {

// Sets TU, TV, X0, Y0, the hit point X[s+1], Y[s+1], Z[s+1] and the normal
// NX, NY, NZ, reading the decentres DX[s+1], DY[s+1] and the vertex ZS[s]
// from the ray state (the tilted mirror moves them before it calls this).
void meet_sphere(double CV, RayState& r, int s);

}  // namespace varnock
