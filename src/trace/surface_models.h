// The surface models. surfN(o, r, s) takes the ray in r from surface s to
// surface s+1 of type code N: it reads the ray at s and surface s+1's data
// and writes the ray at s+1, using the scratch record as it goes.
#pragma once

#include "model/model.h"
#include "trace/optics.h"

namespace varnock {

// Refracting sphere (a plane when CV = 0); also every unknown type code.
void surf1(const Optics& o, RayState& r, int s);

// Refracting cylinder, axis parallel to x (a plane when CV = 0).
void surf4(const Optics& o, RayState& r, int s);

// Cylindrical lens array: cylinders at the pitch PA in y, grid on the axis;
// leaves the chosen lenslet's centre in the working DY[s+1].
void surf5(const Optics& o, RayState& r, int s);

// Circular aperture of radius |PA| on the axis, then the refracting sphere;
// clears RAYOK for a ray that does not pass.
void surf6(const Optics& o, RayState& r, int s);

// Two-dimensional lens array: spheres at the pitches PA in x and PB in y,
// grid on the surface's decentres, which it restores after the step.
void surf7(const Optics& o, RayState& r, int s);

// Spherical mirror (a plane mirror when CV = 0).
void surf2(const Optics& o, RayState& r, int s);

// Paraboloidal mirror opening towards smaller z, focal distance |0.5/CV|;
// backward rays meet its far side.
void surf3(const Optics& o, RayState& r, int s);

// Ellipsoidal mirror given by its focal distances CV (first) and PA
// (second); a plane mirror when CV = 0.
void surf8(const Optics& o, RayState& r, int s);

// Spherical mirror tilted by PA (x-z plane) and PB (y-z plane) about the
// point where it meets the axis. Overwrites the working DX[s+1], DY[s+1].
void surf9(const Optics& o, RayState& r, int s);

}  // namespace varnock
