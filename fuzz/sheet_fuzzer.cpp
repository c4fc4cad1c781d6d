// Fuzz target: the bytes of a sheet through the reader, the cell
// conversions and the laying out of the fan, refusals included. Nothing may
// crash, hang or read out of bounds; a sheet is either read or refused with
// a RunError.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "source/fan.h"
#include "support/run_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  varnock::SystemState sys;
  std::vector<std::string> warnings;
  try {
    varnock::read_sheet(varnock::SheetCells::parse(text), sys, warnings);
  } catch (const varnock::RunError&) {
    return 0;
  }
  // A smaller limit than a run's: the same refusal, and an input that lays
  // out millions of one-ray cones still takes milliseconds here.
  constexpr std::int64_t LIMIT = 200'000;
  const varnock::FanPlan plan = varnock::plan_fan(sys.params, LIMIT);
  // The plan's cones add up to its rays, each start where the last ended.
  std::int64_t rays = 0;
  for (const varnock::FanCone& c : plan.cones) {
    if (c.first != rays || c.azimuths <= 0) __builtin_trap();
    rays += c.azimuths;
  }
  if (plan.rays <= LIMIT && rays != plan.rays) __builtin_trap();
  return 0;
}
