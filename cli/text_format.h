// Numbers as the tool prints them.
#pragma once

#include <cstdio>
#include <string>

#include "support/number_text.h"

namespace varnock_cli {

// As the report prints them: %f, a sign-free "nan" included.
inline std::string fixed(double v) {
  std::string text;
  varnock::append_fixed(text, v);
  return text;
}

// Three significant digits: 0.0123, 1.5e-13.
inline std::string general(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.3g", v);
  return buffer;
}

}  // namespace varnock_cli
