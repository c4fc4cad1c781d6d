// Text-to-number conversion with the C library's atof/atoi rules in the "C"
// locale, independent of the process locale and of the platform's runtime:
// leading blanks are skipped, the longest numeric prefix is taken, and text
// without one reads as 0.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnock {

template <typename T>
struct ParsedNumber {
  T value = 0;
  // Offset just past the numeric prefix (0 when there is none).
  std::size_t end = 0;
  // True when the number does not fit the type and was saturated
  // (integers) or rounded to infinity or zero (reals).
  bool out_of_range = false;
};

// Like atof: decimal and hexadecimal forms, "inf", "infinity" and "nan",
// with an optional sign, as strtod takes them. A value too large for a
// double gives an infinity, one too small gives zero.
ParsedNumber<double> parse_c_double(std::string_view text);

// Like atoi: an optional sign and decimal digits. A value beyond the 32-bit
// range saturates at the nearest limit.
ParsedNumber<int> parse_c_int(std::string_view text);

// True when the text holds nothing but blanks.
bool is_blank(std::string_view text);

}  // namespace varnock
