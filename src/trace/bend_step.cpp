#include "trace/bend_step.h"

#include <cmath>

namespace varnock {

void incoming_direction(TraceScratch& q) {
  q.EZ = 1 / std::sqrt(1 + q.TU * q.TU + q.TV * q.TV);
  q.EX = -q.TU * q.EZ;
  q.EY = -q.TV * q.EZ;
}

void reversed_incoming_direction(TraceScratch& q) {
  q.EZ = -1 / std::sqrt(1 + q.TU * q.TU + q.TV * q.TV);
  q.EX = -q.TU * q.EZ;
  q.EY = -q.TV * q.EZ;
}

void half_turned_incoming_direction(TraceScratch& q) {
  q.EZ = -1 / std::sqrt(1 + q.TU * q.TU + q.TV * q.TV);
  q.EX = q.TU * q.EZ;
  q.EY = q.TV * q.EZ;
}

void incidence_angle(TraceScratch& q) {
  double cos_incidence = std::fabs(q.NX * q.EX + q.NY * q.EY + q.NZ * q.EZ);
  if (cos_incidence > 1) cos_incidence = 1;  // a not-a-number passes through
  q.ANGI = std::acos(cos_incidence);
  q.SINI = std::sin(q.ANGI);
  q.COSI = std::cos(q.ANGI);
}

void refraction_angle(TraceScratch& q, double n_before, double n_after) {
  const double magnitude_before = n_before > 0 ? n_before : -n_before;
  q.ANGR = std::asin(magnitude_before * q.SINI / n_after);
  q.SINR = std::sin(q.ANGR);
  q.COSR = std::cos(q.ANGR);
}

void refraction_change(TraceScratch& q) {
  // Strictly greater; either angle being not a number takes the second form.
  if (q.ANGI > q.ANGR) {
    q.DCOS = q.COSR - q.COSI;
    q.DSIN = q.SINI - q.SINR;
    q.DLEN = std::sqrt(q.DCOS * q.DCOS + q.DSIN * q.DSIN);
    q.PF = q.COSR + q.SINR * std::tan((q.ANGI + q.ANGR) / 2);
    q.WX = q.PF * q.NX - q.EX;
    q.WY = q.PF * q.NY - q.EY;
    q.WZ = q.PF * q.NZ - q.EZ;
  } else {
    q.DCOS = q.COSI - q.COSR;
    q.DSIN = q.SINR - q.SINI;
    q.DLEN = std::sqrt(q.DCOS * q.DCOS + q.DSIN * q.DSIN);
    q.PF = q.COSI + q.SINI * std::tan((q.ANGI + q.ANGR) / 2);
    q.WX = q.EX - q.PF * q.NX;
    q.WY = q.EY - q.PF * q.NY;
    q.WZ = q.EZ - q.PF * q.NZ;
  }
}

void reflection_change(TraceScratch& q) {
  q.ANGR = q.ANGI;
  q.SINR = std::sin(q.ANGR);
  q.COSR = std::cos(q.ANGR);
  q.DLEN = 2 * q.SINI;
  q.PF = q.COSR;
  q.WX = q.PF * q.NX - q.EX;
  q.WY = q.PF * q.NY - q.EY;
  q.WZ = q.PF * q.NZ - q.EZ;
}

void outgoing_direction(TraceScratch& q) {
  q.WLEN = std::sqrt(q.WX * q.WX + q.WY * q.WY + q.WZ * q.WZ);
  if (q.WLEN == 0) {
    q.FX = q.EX;
    q.FY = q.EY;
    q.FZ = q.EZ;
  } else {
    q.FX = q.EX + q.DLEN * q.WX / q.WLEN;
    q.FY = q.EY + q.DLEN * q.WY / q.WLEN;
    q.FZ = q.EZ + q.DLEN * q.WZ / q.WLEN;
  }
}

void mirror_turn(TraceScratch& q) {
  incidence_angle(q);
  reflection_change(q);
  outgoing_direction(q);
}

void reverse_outgoing_direction(TraceScratch& q) {
  if (q.WLEN != 0) {  // true for a length that is not a number
    q.FX = -q.FX;
    q.FY = -q.FY;
    q.FZ = -q.FZ;
  }
}

void outgoing_angles(RayState& r, int s) {
  const TraceScratch& q = r.sc;
  r.U[s + 1] = -std::atan(q.FX / q.FZ);
  r.V[s + 1] = -std::atan(q.FY / q.FZ);
}

void unfold(RayState& r, int s) {
  r.Z[s + 1] = 2 * r.ZS[s] - r.Z[s + 1];
  r.U[s + 1] = -r.U[s + 1];
  r.V[s + 1] = -r.V[s + 1];
}

void refract(RayState& r, int s) {
  TraceScratch& q = r.sc;
  incoming_direction(q);
  incidence_angle(q);
  refraction_angle(q, r.RN0[s], r.RN0[s + 1]);
  refraction_change(q);
  outgoing_direction(q);
  outgoing_angles(r, s);
}

void reflect(RayState& r, int s) {
  TraceScratch& q = r.sc;
  incoming_direction(q);
  mirror_turn(q);
  outgoing_angles(r, s);
  unfold(r, s);
}

}  // namespace varnock
