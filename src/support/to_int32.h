// Conversion of a whole-numbered double to a 32-bit index without undefined
// behaviour: a value that is not a number or lies outside the 32-bit range
// gives the invalid value INT32_MIN, which every range check rejects.
#pragma once

#include <cstdint>
#include <limits>

namespace varnock {

inline constexpr int INVALID_INT32 = std::numeric_limits<std::int32_t>::min();

inline int to_int32_or_invalid(double whole) {
  // Written so that a not-a-number fails the test.
  if (!(whole >= -2147483648.0 && whole < 2147483648.0)) return INVALID_INT32;
  return static_cast<int>(whole);
}

}  // namespace varnock
