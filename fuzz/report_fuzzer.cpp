// Fuzz target: the report reader of varnock plot and compare. Any bytes
// are either a report or refused with a ReportError naming a line.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "report/report_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const varnock::ReportFile r =
        varnock::parse_report(std::string_view(reinterpret_cast<const char*>(data), size), "fuzzed");
    (void)r;
  } catch (const varnock::ReportError& e) {
    if (e.line() < 0 || e.line() > 133) __builtin_trap();
  }
  return 0;
}
