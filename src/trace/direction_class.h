// Which outgoing tangents make a backward ray. The paraboloidal and the
// ellipsoidal mirror tell a ray travelling towards -z by its angles:
// |U| >= PI/2 or |V| >= PI/2 with the run's PI (slightly less than pi, so
// a ray within 1.6e-15 rad of the normal plane counts as backward too). A
// surface step leaves a ray with U = atan(q) + offset, where q is the
// tangent of its outgoing direction and the offset is 0, or twice the tilt
// on the tilted mirror. Since atan is monotonic, the rays with |U| >= PI/2
// are those whose q lies outside an open interval; a tracer that carries q
// instead of U (the fast mode) classes its rays by that interval, as the
// exact tracer would from the angle.
#pragma once

namespace varnock {

struct TangentWindow {
  // U = atan(q) + offset has |U| < PI/2 exactly when low < q < high; low is
  // -inf and high +inf where no finite tangent reaches PI/2.
  double low = 0, high = 0;
};

// The window for an angle offset, with the C library's atan and the sum
// rounded as the exact tracer rounds it.
TangentWindow forward_window(double PI, double offset);

}  // namespace varnock
