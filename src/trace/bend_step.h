// The refraction and reflection step that ends every surface model: from
// the incoming direction and the unit surface normal N at the hit point it
// finds the outgoing direction and stores it as the angles U[s+1], V[s+1].
//
// The step works on unit vectors: the angle of incidence comes from N.E, the
// angle of refraction from Snell's law, and the outgoing direction F is E
// moved along a change vector W in the plane of incidence by the length of
// the chord F - E. Each stage below reads and writes the scratch record; the
// models call them in these orders:
//   refraction:  incoming_direction, incidence_angle, refraction_angle,
//                refraction_change, outgoing_direction, outgoing_angles
//   reflection:  incoming_direction, incidence_angle, reflection_change,
//                outgoing_direction, outgoing_angles, unfold
// (mirror_turn groups the middle three of the reflection). The mirrors that
// tell backward rays from forward ones form their incoming direction with
// reversed_incoming_direction or half_turned_incoming_direction instead, and
// the ellipsoid turns F back with reverse_outgoing_direction after the turn.
// Failures (a missed surface, total internal reflection, an index of 0) are
// not tested: they give not-a-number angles, which the binning rejects.
#pragma once

#include "model/model.h"

namespace varnock {

// E = (-TU, -TV, 1) / sqrt(1 + TU^2 + TV^2): the incoming ray taken as
// travelling towards +z.
void incoming_direction(TraceScratch& q);

// The backward ray of the paraboloid: E reversed, all three components
// negated, so that E is the ray's true direction of travel towards -z:
// EZ = -1 / sqrt(1 + TU^2 + TV^2), EX = -TU EZ, EY = -TV EZ.
void reversed_incoming_direction(TraceScratch& q);

// The backward ray of the ellipsoid: the direction of travel (TU, TV, -1)
// turned half a turn about the axis, which leaves EX and EY as
// incoming_direction gives them and negates only EZ:
// EZ = -1 / sqrt(1 + TU^2 + TV^2), EX = TU EZ, EY = TV EZ.
void half_turned_incoming_direction(TraceScratch& q);

// ANGI = acos|N.E|, with |N.E| limited to 1 so that a ray within rounding of
// the normal is not lost; SINI, COSI.
void incidence_angle(TraceScratch& q);

// ANGR = asin(|n_before| SINI / n_after); SINR, COSR. The index before the
// surface enters by its magnitude, the one after it with its sign.
void refraction_angle(TraceScratch& q, double n_before, double n_after);

// DCOS, DSIN, DLEN, PF and W for refraction, on whichever side of E the
// refracted ray lies.
void refraction_change(TraceScratch& q);

// ANGR = ANGI, DLEN = 2 SINI, PF = COSR, W = PF N - E: F becomes E turned
// half a turn about N, which has the reflected ray's direction ratios.
// DCOS and DSIN are left untouched.
void reflection_change(TraceScratch& q);

// F = E + DLEN W / WLEN, or F = E when W has length 0.
void outgoing_direction(TraceScratch& q);

// The reflection proper on the E and N already set: incidence_angle,
// reflection_change, outgoing_direction.
void mirror_turn(TraceScratch& q);

// F = -F, unless W had length 0 (F = E then stays as it is). A length that
// is not a number negates too. Only the stored F changes: the outgoing
// angles depend on its ratios alone.
void reverse_outgoing_direction(TraceScratch& q);

// U[s+1] = -atan(FX / FZ), V[s+1] = -atan(FY / FZ).
void outgoing_angles(RayState& r, int s);

// Mirrors unfold the system in the vertex plane z = ZS[s]: the hit height is
// mirrored and the angles change sign, so that the stored ray travels on
// towards +z and the surfaces after the mirror follow at positive spacings.
void unfold(RayState& r, int s);

// The whole refraction step, from RN0[s] into RN0[s+1].
void refract(RayState& r, int s);

// The whole reflection step, unfold included.
void reflect(RayState& r, int s);

}  // namespace varnock
