// Geometry shared by every surface model. Step s takes the ray from surface
// s to surface s+1, whose vertex is at (DX, DY, ZS) and whose axis runs
// parallel to z. Between surfaces the ray is the line
//   x(z) = X - TU (z - Z),  y(z) = Y - TV (z - Z),
// with TU = tan U and TV = tan V: a positive U moves the ray towards smaller
// x as z grows. Sums and products are evaluated from left to right as
// written.
#pragma once

#include "trace/step_rays.h"

namespace varnock {

// Where the incoming line meets the plane z = 0, measured from the surface
// axis through (DX, DY): the line is then (X0 - TU z, Y0 - TV z, z). The
// tangents are already in the scratch record.
template <class L>
inline void enter_surface(StepRays<L>& r, typename L::D DX, typename L::D DY) {
  auto& q = r.sc;
  q.X0 = r.X + q.TU * r.Z - DX;
  q.Y0 = r.Y + q.TV * r.Z - DY;
}

// The hit point's x and y from its height Z1, along the incoming line.
template <class L>
inline void transfer_to_hit(StepRays<L>& r) {
  const auto& q = r.sc;
  r.X1 = r.X - q.TU * (r.Z1 - r.Z);
  r.Y1 = r.Y - q.TV * (r.Z1 - r.Z);
}

// Where the incoming line crosses the vertex plane z = ZS, stored as the hit
// point at s+1. The lens arrays pick their lenslet and the aperture tests its
// stop there; the surface model they then call overwrites this provisional
// hit point with the true one.
template <class L>
inline void carry_to_vertex_plane(StepRays<L>& r, double ZS) {
  r.Z1 = typename L::D(ZS);
  transfer_to_hit(r);
}

// The root of QA z^2 + QB z + QC = 0 on the vertex's side of a surface of
// revolution (sphere) or of translation (cylinder) with curvature CV: the
// smaller z when the centre of curvature lies beyond the vertex (CV > 0),
// the larger when it lies before it (CV < 0). A ray that misses the surface
// takes the square root of a negative number and gets a height that is not a
// number. A curvature that is not a number takes neither root and leaves
// Z1 as it was.
template <class L>
inline void vertex_side_root(StepRays<L>& r, double CV) {
  const auto& q = r.sc;
  if (CV > 0) {
    r.Z1 = (-q.QB - L::sqrt(q.QB * q.QB - 4.0 * q.QA * q.QC)) / (2.0 * q.QA);
  } else if (CV < 0) {
    r.Z1 = (-q.QB + L::sqrt(q.QB * q.QB - 4.0 * q.QA * q.QC)) / (2.0 * q.QA);
  }
}

// The direction class of the mirrors that tell backward rays from forward
// ones (the paraboloid and the ellipsoid): a ray travels towards +z when both
// angles are strictly below PI/2 in magnitude, with the run's PI. An angle
// at or beyond PI/2, or one that is not a number, makes it a backward ray,
// as the fan marks the rays of its cones beyond 90 degrees. Every other
// model takes every ray as travelling towards +z.
template <class L>
inline typename L::M travels_forward(double PI, typename L::D U, typename L::D V) {
  using D = typename L::D;
  return L::both(D(PI / 2) > L::fabs(U), D(PI / 2) > L::fabs(V));
}

}  // namespace varnock
