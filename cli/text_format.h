// Numbers as the tool prints them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/number_text.h"

namespace varnock_cli {

// As the report prints them: %f, a sign-free "nan" included.
inline std::string fixed(double v) { return varnock::fixed_text(v); }

// 1234567 -> "1,234,567" (counts, never negative).
inline std::string with_separators(std::int64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// Three significant digits: 0.0123, 1.5e-13.
inline std::string general(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3g", v);
  return buffer;
}

}  // namespace varnock_cli
