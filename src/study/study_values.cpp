#include "study/study_values.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "support/fnv1a.h"

namespace varnock {
namespace {

double number(std::string_view text, const std::string& whole) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  double v = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(v)) {
    throw std::invalid_argument("\"" + std::string(text) + "\" in \"" + whole + "\" is not a finite number");
  }
  return v;
}

std::uint64_t splitmix64(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

}  // namespace

std::vector<double> parse_sweep_values(const std::string& text) {
  std::vector<double> values;
  if (!text.empty() && text.front() == '@') {
    std::ifstream in(text.substr(1));
    if (!in) throw std::invalid_argument("cannot read the values file " + text.substr(1));
    std::string line;
    while (std::getline(in, line)) {
      if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
      values.push_back(number(line, text.substr(1)));
    }
    if (values.empty()) throw std::invalid_argument("the values file " + text.substr(1) + " holds no value");
    return values;
  }
  const std::size_t colon = text.find(':');
  if (colon != std::string::npos) {
    const std::size_t second = text.find(':', colon + 1);
    if (second == std::string::npos) throw std::invalid_argument("\"" + text + "\" is not FROM:TO:COUNT");
    const double from = number(std::string_view(text).substr(0, colon), text);
    const double to = number(std::string_view(text).substr(colon + 1, second - colon - 1), text);
    const std::string count_text = text.substr(second + 1);
    long long count = 0;
    const auto r = std::from_chars(count_text.data(), count_text.data() + count_text.size(), count);
    if (r.ec != std::errc() || r.ptr != count_text.data() + count_text.size() || count < 1 || count > 100'000'000) {
      throw std::invalid_argument("the COUNT of \"" + text + "\" is not a whole number from 1 to 100000000");
    }
    for (long long k = 0; k < count; ++k) {
      values.push_back(count == 1 ? from : from + (to - from) * static_cast<double>(k) / static_cast<double>(count - 1));
    }
    return values;
  }
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    values.push_back(number(std::string_view(text).substr(start, comma - start), text));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return values;
}

std::string shortest_text(double value) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

std::string cell_text(double value, bool integer_cell) {
  if (integer_cell && value == std::floor(value) && std::fabs(value) < 1e18) {
    return std::to_string(static_cast<long long>(value));
  }
  return shortest_text(value);
}

Jitter parse_jitter(const std::string& text) {
  const std::size_t colon = text.find(':');
  Jitter j;
  const std::string kind = text.substr(0, colon);
  if (colon == std::string::npos || (kind != "normal" && kind != "uniform")) {
    throw std::invalid_argument("\"" + text + "\" is not normal:SIGMA or uniform:HALFWIDTH");
  }
  j.kind = kind == "normal" ? Jitter::Kind::Normal : Jitter::Kind::Uniform;
  j.width = number(std::string_view(text).substr(colon + 1), text);
  if (j.width < 0) throw std::invalid_argument("the width in \"" + text + "\" is negative");
  return j;
}

double unit_draw(std::uint64_t seed, std::uint64_t trial, const std::string& cell_name, std::uint64_t i) {
  const std::uint64_t key =
      splitmix64(splitmix64(seed) ^ splitmix64(trial + 0x5851F42D4C957F2DULL) ^ fnv1a(cell_name));
  return static_cast<double>(splitmix64(key + i) >> 11) * 0x1.0p-53;
}

double jitter_draw(const Jitter& jitter, std::uint64_t seed, std::uint64_t trial,
                   const std::string& cell_name) {
  if (jitter.kind == Jitter::Kind::Uniform) {
    return jitter.width * (2 * unit_draw(seed, trial, cell_name, 0) - 1);
  }
  for (std::uint64_t m = 0;; ++m) {
    const double a = 2 * unit_draw(seed, trial, cell_name, 2 * m) - 1;
    const double b = 2 * unit_draw(seed, trial, cell_name, 2 * m + 1) - 1;
    const double s = a * a + b * b;
    if (s > 0 && s < 1) return jitter.width * (a * std::sqrt(-2 * std::log(s) / s));
  }
}

}  // namespace varnock
