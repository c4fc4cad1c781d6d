#include "summary.h"

#include <cstdio>

namespace varnock_cli {
namespace {

// 1234567 -> "1,234,567" (the counts here are never negative).
std::string with_separators(std::int64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string number(double v, const char* format) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, v);
  return buffer;
}

}  // namespace

std::string format_summary(const std::filesystem::path& sheet,
                           const std::filesystem::path& output_dir,
                           const varnock::RunSuccess& result) {
  const varnock::RunTotals& t = result.totals;
  std::string s;
  s += "sheet             " + sheet.string() + "\n";
  s += "results in        " + output_dir.string() + "\n";
  s += "fan rays          " + with_separators(t.fan_rays) + "\n";
  s += "source positions  " + with_separators(t.source_positions) + "\n";
  s += "rays traced       " + with_separators(t.rays_traced) + "\n";
  s += "total             " + number(t.total, "%.6f") + "\n";
  s += "transmitted       " + number(t.transmitted, "%.6f") + "\n";
  s += "ratio             " + number(t.ratio, "%.6f") + "\n";
  s += "elapsed           " + number(result.elapsed_seconds, "%.2f s") + "\n";
  return s;
}

}  // namespace varnock_cli
