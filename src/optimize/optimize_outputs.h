// What an optimisation leaves in its folder beside the points and the best
// point's run: history.csv (one row an evaluation), optimize.json (the
// problem, the start and the best point, each goal's value and the merit as
// the optimiser saw them and from the exact runs' plain maps) and
// optimize.html, which draws itself from the same numbers.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "optimize/optimize.h"
#include "optimize/optimize_search.h"

namespace varnock {

struct OptimizeOutputs {
  const OptimizeProblem* problem = nullptr;
  const SearchOutcome* outcome = nullptr;
  const std::vector<std::vector<double>>* goal_history = nullptr;  // beside outcome->history
  std::vector<double> scales;
  std::vector<double> exact_start, exact_best;  // goal values of the exact runs
  GridValues start_ixy{}, best_ixy{};           // their IXY
  double pitch = 0;
  std::int64_t runs = 0;
  double elapsed_seconds = 0;
  std::vector<std::string> notes;
};

// Writes history.csv, optimize.json and optimize.html; returns optimize.json's text.
std::string write_optimize_outputs(const OptimizeOutputs& outputs, const std::filesystem::path& folder);

}  // namespace varnock
