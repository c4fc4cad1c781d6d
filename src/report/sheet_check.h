// A look at a sheet before a run: the system in words, the size of the run,
// an estimate of its time from a sample of rays traced here, and warnings
// for what is most likely a mistake. Writes nothing.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "report/system_view.h"
#include "varnock/varnock.h"

namespace varnock {

struct SheetCheck {
  SystemTable table;
  std::int64_t fan_rays = 0;
  std::int64_t source_positions = 0;
  int index_sets = 0;
  int surfaces = 0;
  // Rays of non-negative weight and ray-surface steps of the run: counted
  // exactly when the run is small enough, else estimated from a sample of
  // source positions (estimated says which).
  std::int64_t rays_traced = 0;
  std::int64_t steps = 0;
  bool estimated = false;
  unsigned threads = 1;
  std::string mode;                // "exact" or "fast (avx512)"...
  double estimated_seconds = 0;    // with those threads, files included
  std::vector<std::string> sheet_warnings;  // as varnock run gives them
  std::vector<std::string> warnings;        // likely mistakes
};

// Reads and checks the sheet; throws RunError exactly where varnock run
// would refuse it. options.threads and options.fast/simd set the run the
// time is estimated for.
SheetCheck check_sheet(const std::filesystem::path& sheet, const RunOptions& options);

}  // namespace varnock
