#include "trace/direction_class.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

namespace varnock {
namespace {

// The doubles in increasing order as integers: -max .. +max maps onto a
// contiguous range, so that a bisection over it visits every double.
std::int64_t order_of(double x) {
  const std::int64_t bits = std::bit_cast<std::int64_t>(x);
  return bits >= 0 ? bits : std::numeric_limits<std::int64_t>::min() - bits;
}
double double_of(std::int64_t order) {
  return std::bit_cast<double>(order >= 0 ? order : std::numeric_limits<std::int64_t>::min() - order);
}

// The least finite double for which reached() holds, reached() being false
// below some point and true from it on; +inf when it holds for none.
template <class Pred>
double least_where(Pred reached) {
  const double most = std::numeric_limits<double>::max();
  if (!reached(most)) return std::numeric_limits<double>::infinity();
  std::int64_t lo = order_of(-most), hi = order_of(most);
  if (reached(-most)) return -most;
  // reached(lo) is false, reached(hi) true. (The range spans more than an
  // int64_t holds: std::midpoint does not overflow.)
  while (lo + 1 < hi) {
    const std::int64_t mid = std::midpoint(lo, hi);
    if (reached(double_of(mid))) hi = mid; else lo = mid;
  }
  return double_of(hi);
}

}  // namespace

TangentWindow forward_window(double PI, double offset) {
  const double half = PI / 2;
  auto angle = [offset](double q) { return std::atan(q) + offset; };
  TangentWindow w;
  w.high = least_where([&](double q) { return angle(q) >= half; });
  // The greatest q with angle(q) <= -PI/2 lies just below the least q past it.
  const double past_low = least_where([&](double q) { return angle(q) > -half; });
  w.low = past_low == -std::numeric_limits<double>::max()
              ? -std::numeric_limits<double>::infinity()
              : std::nextafter(past_low, -std::numeric_limits<double>::infinity());
  return w;
}

}  // namespace varnock
