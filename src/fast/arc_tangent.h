// The arc tangent of the fast mode, on the lane policy: the two exit angles
// of each ray for the binning are its only transcendental values. Plain
// IEEE arithmetic, the same operations in the same order on every
// instruction set, so every path gives the same bits.
//
// The method is the Cephes library's atan (S. L. Moshier): the argument's
// magnitude is reduced to |t| <= 0.66 by atan x = pi/2 + atan(-1/x) above
// tan(3 pi/8) and atan x = pi/4 + atan((x - 1)/(x + 1)) between 0.66 and
// there, and atan t = t + t z P(z)/Q(z), z = t^2, with a rational function
// of degree 4 over 5; the reduction's pi/2 and pi/4 carry their next bits
// separately. About one unit in the last place from the correctly rounded
// value. Odd: atan(-x) = -atan(x), -0 stays -0; atan(+-inf) = +-pi/2; a
// not-a-number stays one.
#pragma once

#include "fast/vector_lanes.h"

namespace varnock::fast {
namespace {

template <class L>
VARNOCK_INLINE typename L::D arc_tangent(typename L::D x) {
  using D = typename L::D;
  constexpr double T3P8 = 2.41421356237309504880;  // tan(3 pi/8)
  constexpr double PIO2 = 1.57079632679489661923;
  constexpr double PIO4 = 7.85398163397448309616e-1;
  constexpr double MOREBITS = 6.123233995736765886130e-17;  // pi/2 - PIO2

  const D a = L::fabs(x);
  const auto large = a > D(T3P8);
  const auto small = a <= D(0.66);  // a not-a-number takes the middle branch and stays one
  // One division for the three reductions: -1/a, a/1, (a - 1)/(a + 1).
  const D numerator = L::select(large, D(-1.0), L::select(small, a, a - D(1.0)));
  const D denominator = L::select(large, a, L::select(small, D(1.0), a + D(1.0)));
  const D t = numerator / denominator;
  const D base = L::select(large, D(PIO2), L::select(small, D(0.0), D(PIO4)));
  const D more = L::select(large, D(MOREBITS), L::select(small, D(0.0), D(0.5 * MOREBITS)));

  const D z = t * t;
  const D p = (((D(-8.750608600031904122785e-1) * z + D(-1.615753718733365076637e1)) * z +
                D(-7.500855792314704667340e1)) * z + D(-1.228866684490136173410e2)) * z +
              D(-6.485021904942025371773e1);
  const D q = ((((z + D(2.485846490142306297962e1)) * z + D(1.650270098316988542046e2)) * z +
                D(4.328810604912902668951e2)) * z + D(4.853903996359136964868e2)) * z +
              D(1.945506571482613964425e2);
  D r = t * (z * p / q) + t;
  r = r + more;
  return L::with_sign_of(base + r, x);
}

}  // namespace
}  // namespace varnock::fast
