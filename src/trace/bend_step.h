// The refraction and reflection step that ends every surface model: from
// the incoming direction and the unit surface normal N at the hit point it
// finds the outgoing direction and stores it as the angles U1, V1.
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
// directed_incoming_direction or half_turned_incoming_direction instead, and
// the ellipsoid turns F back with reverse_outgoing_direction after the turn.
// Failures (a missed surface, total internal reflection, an index of 0) are
// not tested: they give not-a-number angles, which the binning rejects.
//
// Every stage is written once over the lane policy L (lanes.h); sums and
// products are evaluated from left to right as written.
#pragma once

#include "trace/step_rays.h"

namespace varnock {

template <class L>
using Scratch = TraceScratchT<typename L::D>;

// E = (-TU, -TV, 1) / sqrt(1 + TU^2 + TV^2): the incoming ray taken as
// travelling towards +z.
template <class L>
inline void incoming_direction(Scratch<L>& q) {
  q.EZ = 1.0 / L::sqrt(1.0 + q.TU * q.TU + q.TV * q.TV);
  q.EX = -q.TU * q.EZ;
  q.EY = -q.TV * q.EZ;
}

// The paraboloid's incoming direction: a backward ray has E reversed, all
// three components negated, so that E is the ray's true direction of travel
// towards -z: EZ = -1 / sqrt(1 + TU^2 + TV^2), EX = -TU EZ, EY = -TV EZ.
template <class L>
inline void directed_incoming_direction(Scratch<L>& q, typename L::M forward) {
  const typename L::D root = L::sqrt(1.0 + q.TU * q.TU + q.TV * q.TV);
  q.EZ = L::select(forward, 1.0 / root, -1.0 / root);
  q.EX = -q.TU * q.EZ;
  q.EY = -q.TV * q.EZ;
}

// The ellipsoid's incoming direction: a backward ray's direction of travel
// (TU, TV, -1) turned half a turn about the axis, which leaves EX and EY as
// incoming_direction gives them and negates only EZ:
// EZ = -1 / sqrt(1 + TU^2 + TV^2), EX = TU EZ, EY = TV EZ.
template <class L>
inline void half_turned_incoming_direction(Scratch<L>& q, typename L::M forward) {
  const typename L::D root = L::sqrt(1.0 + q.TU * q.TU + q.TV * q.TV);
  q.EZ = L::select(forward, 1.0 / root, -1.0 / root);
  q.EX = L::select(forward, -q.TU * q.EZ, q.TU * q.EZ);
  q.EY = L::select(forward, -q.TV * q.EZ, q.TV * q.EZ);
}

// ANGI = acos|N.E|, with |N.E| limited to 1 so that a ray within rounding of
// the normal is not lost; SINI, COSI. A not-a-number passes the limit.
template <class L>
inline void incidence_angle(Scratch<L>& q) {
  using D = typename L::D;
  const D product = L::fabs(q.NX * q.EX + q.NY * q.EY + q.NZ * q.EZ);
  const D cos_incidence = L::select(product > 1.0, D(1.0), product);
  q.ANGI = L::acos(cos_incidence);
  L::sincos(q.ANGI, q.SINI, q.COSI);
}

// ANGR = asin(|n_before| SINI / n_after); SINR, COSR. The index before the
// surface enters by its magnitude, the one after it with its sign.
template <class L>
inline void refraction_angle(Scratch<L>& q, double n_before, double n_after) {
  const double magnitude_before = n_before > 0 ? n_before : -n_before;
  q.ANGR = L::asin(magnitude_before * q.SINI / n_after);
  L::sincos(q.ANGR, q.SINR, q.COSR);
}

// DCOS, DSIN, DLEN, PF and W for refraction, on whichever side of E the
// refracted ray lies: PF N - E when ANGI > ANGR (strictly), E - PF N
// otherwise, which is also taken when either angle is not a number.
template <class L>
inline void refraction_change(Scratch<L>& q) {
  const typename L::M greater = q.ANGI > q.ANGR;
  const typename L::D half_sum_tan = L::tan((q.ANGI + q.ANGR) / 2.0);
  q.DCOS = L::select(greater, q.COSR - q.COSI, q.COSI - q.COSR);
  q.DSIN = L::select(greater, q.SINI - q.SINR, q.SINR - q.SINI);
  q.DLEN = L::sqrt(q.DCOS * q.DCOS + q.DSIN * q.DSIN);
  q.PF = L::select(greater, q.COSR + q.SINR * half_sum_tan, q.COSI + q.SINI * half_sum_tan);
  q.WX = L::select(greater, q.PF * q.NX - q.EX, q.EX - q.PF * q.NX);
  q.WY = L::select(greater, q.PF * q.NY - q.EY, q.EY - q.PF * q.NY);
  q.WZ = L::select(greater, q.PF * q.NZ - q.EZ, q.EZ - q.PF * q.NZ);
}

// ANGR = ANGI, DLEN = 2 SINI, PF = COSR, W = PF N - E: F becomes E turned
// half a turn about N, which has the reflected ray's direction ratios.
// DCOS and DSIN are left untouched.
template <class L>
inline void reflection_change(Scratch<L>& q) {
  q.ANGR = q.ANGI;
  L::sincos(q.ANGR, q.SINR, q.COSR);
  q.DLEN = 2.0 * q.SINI;
  q.PF = q.COSR;
  q.WX = q.PF * q.NX - q.EX;
  q.WY = q.PF * q.NY - q.EY;
  q.WZ = q.PF * q.NZ - q.EZ;
}

// F = E + DLEN W / WLEN, or F = E when W has length 0 exactly (a length that
// is not a number takes the first form).
template <class L>
inline void outgoing_direction(Scratch<L>& q) {
  q.WLEN = L::sqrt(q.WX * q.WX + q.WY * q.WY + q.WZ * q.WZ);
  const typename L::M unchanged = q.WLEN == 0.0;
  q.FX = L::select(unchanged, q.EX, q.EX + q.DLEN * q.WX / q.WLEN);
  q.FY = L::select(unchanged, q.EY, q.EY + q.DLEN * q.WY / q.WLEN);
  q.FZ = L::select(unchanged, q.EZ, q.EZ + q.DLEN * q.WZ / q.WLEN);
}

// The reflection proper on the E and N already set: incidence_angle,
// reflection_change, outgoing_direction.
template <class L>
inline void mirror_turn(Scratch<L>& q) {
  incidence_angle<L>(q);
  reflection_change<L>(q);
  outgoing_direction<L>(q);
}

// For the rays in mask: F = -F, unless W had length 0 (F = E then stays as
// it is). A length that is not a number negates too. Only the stored F
// changes: the outgoing angles depend on its ratios alone.
template <class L>
inline void reverse_outgoing_direction(Scratch<L>& q, typename L::M mask) {
  const typename L::M turn = L::both(mask, L::negate(q.WLEN == 0.0));
  q.FX = L::select(turn, -q.FX, q.FX);
  q.FY = L::select(turn, -q.FY, q.FY);
  q.FZ = L::select(turn, -q.FZ, q.FZ);
}

// U1 = -atan(FX / FZ), V1 = -atan(FY / FZ).
template <class L>
inline void outgoing_angles(StepRays<L>& r) {
  const auto& q = r.sc;
  r.U1 = -L::atan(q.FX / q.FZ);
  r.V1 = -L::atan(q.FY / q.FZ);
}

// Mirrors unfold the system in the vertex plane z = ZS: the hit height is
// mirrored and the angles change sign, so that the stored ray travels on
// towards +z and the surfaces after the mirror follow at positive spacings.
template <class L>
inline void unfold(StepRays<L>& r, double ZS) {
  r.Z1 = 2.0 * ZS - r.Z1;
  r.U1 = -r.U1;
  r.V1 = -r.V1;
}

// The whole refraction step, from index n_before into n_after.
template <class L>
inline void refract(StepRays<L>& r, double n_before, double n_after) {
  incoming_direction<L>(r.sc);
  incidence_angle<L>(r.sc);
  refraction_angle<L>(r.sc, n_before, n_after);
  refraction_change<L>(r.sc);
  outgoing_direction<L>(r.sc);
  outgoing_angles<L>(r);
}

// The whole reflection step, unfold in the plane z = ZS included.
template <class L>
inline void reflect(StepRays<L>& r, double ZS) {
  incoming_direction<L>(r.sc);
  mirror_turn<L>(r.sc);
  outgoing_angles<L>(r);
  unfold<L>(r, ZS);
}

}  // namespace varnock
