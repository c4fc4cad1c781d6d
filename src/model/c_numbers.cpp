#include "model/c_numbers.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace varnock {
namespace {

// The "C" locale's isspace, spelled out so that no locale is consulted.
bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_hex_digit(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::size_t skip_blanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_c_space(text[i])) ++i;
  return i;
}

// from_chars reports a value beyond the double range without giving one;
// strtod gives an infinity for an overflow and zero for an underflow. The
// two are told apart by the order of magnitude of the matched text, which
// is far from zero either way.
bool magnitude_overflows(std::string_view number, bool hex) {
  const char exp_mark = hex ? 'p' : 'e';
  const char exp_mark_upper = hex ? 'P' : 'E';
  // The text reads as 0.ddd times base^order times (10 or 2)^exponent.
  std::int64_t order = 0;
  bool seen_point = false;
  bool seen_significant = false;
  std::size_t i = 0;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.') {
      seen_point = true;
      continue;
    }
    if (c == exp_mark || c == exp_mark_upper) break;
    const bool zero = c == '0';
    if (!seen_significant && !zero) seen_significant = true;
    if (seen_significant && !seen_point) ++order;
    if (!seen_significant && seen_point) --order;
  }
  std::int64_t exponent = 0;
  if (i < number.size()) {
    ++i;
    bool negative = false;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
      negative = number[i] == '-';
      ++i;
    }
    for (; i < number.size() && is_digit(number[i]); ++i) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (number[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  // Hex digits carry four binary orders each; the exponent counts in twos.
  const std::int64_t scaled = hex ? order * 4 + exponent : order + exponent;
  return scaled > 0;
}

}  // namespace

bool is_blank(std::string_view text) { return skip_blanks(text) == text.size(); }

ParsedNumber<double> parse_c_double(std::string_view text) {
  ParsedNumber<double> out;
  std::size_t i = skip_blanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // from_chars takes a minus of its own; a second sign is not a number.
  if (i >= text.size() || text[i] == '+' || text[i] == '-') return out;

  const char* const first = text.data() + i;
  const char* const last = text.data() + text.size();
  double value = 0;
  std::from_chars_result result{first, std::errc::invalid_argument};
  bool hex = false;
  if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') &&
      (is_hex_digit(first[2]) || (first[2] == '.' && last - first > 3 && is_hex_digit(first[3])))) {
    hex = true;
    result = std::from_chars(first + 2, last, value, std::chars_format::hex);
  } else {
    result = std::from_chars(first, last, value, std::chars_format::general);
  }
  if (result.ec == std::errc::invalid_argument) return out;

  if (result.ec == std::errc::result_out_of_range) {
    out.out_of_range = true;
    const std::string_view matched(hex ? first + 2 : first,
                                   static_cast<std::size_t>(result.ptr - (hex ? first + 2 : first)));
    value = magnitude_overflows(matched, hex) ? std::numeric_limits<double>::infinity() : 0.0;
  }
  out.value = negative ? -value : value;
  out.end = static_cast<std::size_t>(result.ptr - text.data());
  return out;
}

ParsedNumber<int> parse_c_int(std::string_view text) {
  ParsedNumber<int> out;
  std::size_t i = skip_blanks(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !is_digit(text[i])) return out;

  // Accumulate the magnitude, stopping at a bound just past the 32-bit range.
  constexpr std::int64_t bound = std::int64_t{std::numeric_limits<int>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > bound) magnitude = bound + 1;
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int>::max()) {
    value = std::numeric_limits<int>::max();
    out.out_of_range = true;
  } else if (value < std::numeric_limits<int>::min()) {
    value = std::numeric_limits<int>::min();
    out.out_of_range = true;
  }
  out.value = static_cast<int>(value);
  out.end = i;
  return out;
}

}  // namespace varnock
