// Geometry shared by every surface model. Step s takes the ray from surface
// s to surface s+1, whose vertex is at (DX[s+1], DY[s+1], ZS[s]) and whose
// axis runs parallel to z. Between surfaces the ray is the line
//   x(z) = X[s] - TU (z - Z[s]),  y(z) = Y[s] - TV (z - Z[s]),
// with TU = tan U[s] and TV = tan V[s]: a positive U moves the ray towards
// smaller x as z grows.
#pragma once

#include <cmath>

#include "model/model.h"

namespace varnock {

// The incoming line's tangents, and where it meets the plane z = 0 measured
// from the surface axis: the line is then (X0 - TU z, Y0 - TV z, z).
inline void enter_surface(RayState& r, int s) {
  TraceScratch& q = r.sc;
  q.TU = std::tan(r.U[s]);
  q.TV = std::tan(r.V[s]);
  q.X0 = r.X[s] + q.TU * r.Z[s] - r.DX[s + 1];
  q.Y0 = r.Y[s] + q.TV * r.Z[s] - r.DY[s + 1];
}

// The hit point's x and y from its height Z[s+1], along the incoming line.
inline void transfer_to_hit(RayState& r, int s) {
  const TraceScratch& q = r.sc;
  r.X[s + 1] = r.X[s] - q.TU * (r.Z[s + 1] - r.Z[s]);
  r.Y[s + 1] = r.Y[s] - q.TV * (r.Z[s + 1] - r.Z[s]);
}

// Where the incoming line crosses the vertex plane z = ZS[s], stored as the
// hit point at s+1. The lens arrays pick their lenslet and the aperture tests
// its stop there; the surface model they then call overwrites this
// provisional hit point with the true one.
inline void carry_to_vertex_plane(RayState& r, int s) {
  TraceScratch& q = r.sc;
  q.TU = std::tan(r.U[s]);
  q.TV = std::tan(r.V[s]);
  r.Z[s + 1] = r.ZS[s];
  transfer_to_hit(r, s);
}

// The root of QA z^2 + QB z + QC = 0 on the vertex's side of a surface of
// revolution (sphere) or of translation (cylinder) with curvature CV: the
// smaller z when the centre of curvature lies beyond the vertex (CV > 0),
// the larger when it lies before it (CV < 0). A ray that misses the surface
// takes the square root of a negative number and gets a height that is not a
// number. A curvature that is not a number takes neither root and leaves
// Z[s+1] as it was.
inline void vertex_side_root(RayState& r, int s, double CV) {
  const TraceScratch& q = r.sc;
  if (CV > 0) {
    r.Z[s + 1] = (-q.QB - std::sqrt(q.QB * q.QB - 4 * q.QA * q.QC)) / (2 * q.QA);
  } else if (CV < 0) {
    r.Z[s + 1] = (-q.QB + std::sqrt(q.QB * q.QB - 4 * q.QA * q.QC)) / (2 * q.QA);
  }
}

// The direction class of the mirrors that tell backward rays from forward
// ones (the paraboloid and the ellipsoid): a ray travels towards +z when both
// angles are strictly below PI/2 in magnitude, with the run's PI. An angle
// at or beyond PI/2, or one that is not a number, makes it a backward ray,
// as the fan marks the rays of its cones beyond 90 degrees. Every other
// model takes every ray as travelling towards +z.
inline bool travels_forward(double PI, double U, double V) {
  return PI / 2 > std::fabs(U) && PI / 2 > std::fabs(V);
}

}  // namespace varnock
