#include "support/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace varnock {
namespace {

// Large enough for any double in fixed notation with six decimals:
// 309 integer digits, a sign, a point and the decimals.
constexpr std::size_t FIXED_TEXT_BYTES = 330;

std::string_view format_fixed(std::array<char, FIXED_TEXT_BYTES>& buffer, double value) {
  if (std::isnan(value)) return "nan";
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, 6);
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

}  // namespace

void append_fixed(std::string& out, double value) {
  std::array<char, FIXED_TEXT_BYTES> buffer;
  out += format_fixed(buffer, value);
}

void append_fixed_w10(std::string& out, double value) {
  std::array<char, FIXED_TEXT_BYTES> buffer;
  const std::string_view text = format_fixed(buffer, value);
  if (text.size() < 10) out.append(10 - text.size(), ' ');
  out += text;
}

void append_int(std::string& out, int value) {
  std::array<char, 16> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

std::string fixed_text(double value) {
  std::string text;
  append_fixed(text, value);
  return text;
}

}  // namespace varnock
