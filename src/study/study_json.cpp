#include "study/study_json.h"

#include <cmath>

namespace varnock {

StudyJson json_number(double value) { return std::isfinite(value) ? StudyJson(value) : StudyJson(nullptr); }

double number_of(const StudyJson& j) { return j.is_number() ? j.get<double>() : NAN; }

std::string hex_of_bytes(const std::string& bytes) {
  static const char* const digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string bytes_of_hex(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return out;
}

}  // namespace varnock
