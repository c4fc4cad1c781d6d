// CELL=TEXT options (--set, --jitter) split at their first '='.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace varnock_cli {

inline std::vector<std::pair<std::string, std::string>> cell_assignments(
    const std::vector<std::string>& given, const char* option, const char* right) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& g : given) {
    const std::size_t eq = g.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == g.size()) {
      throw std::invalid_argument(std::string(option) + " " + g + ": write it as CELL=" + right);
    }
    out.emplace_back(g.substr(0, eq), g.substr(eq + 1));
  }
  return out;
}

}  // namespace varnock_cli
