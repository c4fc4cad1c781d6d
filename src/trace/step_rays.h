// What one surface step works on. Step s takes a group of rays from surface
// s to surface s+1: StepRays holds them at s (read) and at s+1 (written),
// their RAYOK flags and the scratch record of the surface models; SurfaceStep
// holds the data of surface s+1, the same for every ray of the step.
#pragma once

#include "trace/lanes.h"

namespace varnock {

// The scratch record of the surface models, one value per ray. A step sets
// every field it reads before it reads it; a field it does not set keeps
// what was there (the reflection leaves DCOS and DSIN alone, a plane leaves
// QA, QB and QC alone).
template <class D>
struct TraceScratchT {
  D QA{}, QB{}, QC{};     // coefficients of the intersection equation
  D TU{}, TV{};           // tangents of the incoming angles U[s], V[s]
  D X0{}, Y0{};           // incoming ray at z = 0, measured from the surface axis
  D ANGI{}, ANGR{};       // angles of incidence and of refraction or reflection
  D NX{}, NY{}, NZ{};     // unit surface normal at the hit point
  D EX{}, EY{}, EZ{};     // unit incoming direction
  D DCOS{}, DSIN{};       // differences of the two angles' cosines and sines
  D DLEN{};               // length of the chord F - E
  D PF{};                 // factor of N in the change vector
  D WX{}, WY{}, WZ{};     // change vector, parallel to F - E
  D WLEN{};               // its length
  D FX{}, FY{}, FZ{};     // outgoing direction
  D SINI{}, SINR{}, COSI{}, COSR{};
};

using TraceScratch = TraceScratchT<double>;

template <class L>
struct StepRays {
  using D = typename L::D;
  // The ray at surface s: where it met the surface and its angles after it.
  // Between surfaces it is the line x(z) = X - tan U (z - Z), y(z) likewise.
  D X{}, Y{}, Z{}, U{}, V{};
  // The ray at surface s+1, written by the step.
  D X1{}, Y1{}, Z1{}, U1{}, V1{};
  // RAYOK: set while the ray counts; only the circular aperture clears it.
  typename L::M ok{};
  // On entry sc.TU and sc.TV hold tan U and tan V: the tracer takes them
  // once per ray and surface for every model.
  TraceScratchT<D> sc;
};

// Surface s+1 as step s sees it.
struct SurfaceStep {
  int type = 1;                        // type code of surface s+1
  double CV = 0, PA = 0, PB = 0;       // curvature and type parameters
  double DX = 0, DY = 0;               // decentres from the sheet
  double ZS = 0;                       // z of the vertex for this scan step
  double n_before = 1, n_after = 1;    // active indices before and after it
  double PI = 0;                       // the run's circle constant
  // The tilted spherical mirror's sphere, worked out once per surface and
  // scan step: its centre's sideways place and its shifted vertex.
  double tilt_DX = 0, tilt_DY = 0, tilt_ZS = 0;
  // For tracers that carry tangents rather than angles (the fast mode):
  // which rays leaving this surface count as travelling backward. A ray
  // leaves with U = atan(q) (+ 2 PA on the tilted mirror) for the tangent q
  // of its outgoing direction, and it counts as backward when |U| >= PI/2:
  // exactly when q lies outside (u_low, u_high), or is not a number.
  // Likewise V with 2 PB. And tan 2PA, tan 2PB of the tilted mirror.
  double u_low = 0, u_high = 0, v_low = 0, v_high = 0;
  double tan_tilt_u = 0, tan_tilt_v = 0;
};

}  // namespace varnock
