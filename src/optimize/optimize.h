// Optimisation: the cell values of a sheet that give the light asked for.
// Variables are value cells within bounds; goals are quantities of a run
// (optimize/goal.h) to minimise, maximise or bring to a target, weighted
// into one merit:
//   term  minimize E: E / s;  maximize E: -E / s;  target E = V: ((E - V) / s)^2
//   merit = sum(w term) / sum(w)
// with s the goal's scale (given, or the magnitude of E at the start, 1
// where that is 0). A goal that is not a number makes the worst merit.
//
// Every evaluation is a run in memory (fast mode unless asked otherwise),
// on smoothed maps unless asked otherwise, written as it finishes into the
// folder's points/ like a study's point. The search is deterministic, so a
// resumed optimisation replays it, taking the points already on disk
// (keyed by the cells' text) instead of running them again.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "optimize/goal.h"
#include "study/cell_names.h"
#include "varnock/sheet.h"
#include "varnock/varnock.h"

namespace varnock {

struct OptimizeVariable {
  ValueCell cell;
  std::string name;  // as given
  double lo = 0, hi = 0, start = 0, step = 0;
};

struct OptimizeGoal {
  enum class Kind { Minimize, Maximize, Target } kind = Kind::Minimize;
  GoalExpression expression;
  double target = 0;
  double weight = 1;
  std::optional<double> scale;  // given; else the magnitude at the start
  const char* kind_name() const;
};

struct OptimizeProblem {
  Sheet sheet = Sheet::from_bytes("");
  std::string sheet_name;  // the file name, for the page
  std::vector<OptimizeVariable> variables;
  std::vector<OptimizeGoal> goals;
  enum class Method { Local, Global } method = Method::Local;
  std::int64_t evaluations = 200;
  std::uint64_t seed = 1;
  bool smoothing = true;
  bool exact = false;  // evaluations in exact mode
  // What a point's record depends on (the sheet, the varied cells, the
  // goals' expressions, smoothing and mode), so that points on disk serve
  // any search of the same problem: another method, seed, bounds, cap,
  // weight, scale or target reuses them.
  std::string points_key() const;
};

// The variables resolved in the sheet: "CELL=LO:HI" each, and steps
// "CELL=S". Throws std::invalid_argument with one line for an unknown cell,
// LO >= HI, a start outside the bounds, a whole-number cell or a bad step.
std::vector<OptimizeVariable> optimize_variables(const Sheet& sheet, const std::vector<std::string>& vary,
                                                 const std::vector<std::string>& steps);

struct OptimizeOptions {
  std::filesystem::path folder;
  unsigned threads = 0;
  bool resume = false;
  const std::atomic<bool>* cancel = nullptr;
  // After each evaluation: evaluations so far, the distinct points among
  // them and their cap, the best merit, seconds elapsed.
  std::function<void(std::int64_t evaluations, std::int64_t points, std::int64_t cap, double best, double elapsed)>
      on_progress;
};

struct OptimizeResult {
  std::int64_t evaluations = 0;   // of the search, cached ones included
  std::int64_t runs = 0;          // evaluations this call ran
  bool stopped = false;           // Ctrl-C: the best so far was written
  double best_merit = 0;
  std::vector<double> best_values;
  std::string json;               // optimize.json's text
  std::vector<std::string> notes;
};

// Runs the search and writes the folder: points/, history.csv, best.txt,
// the best point's exact files (OUT_MI.txt, OUT_MR.txt, OUT_M.txt, run.json,
// report.html), optimize.json and optimize.html. Throws std::invalid_argument
// when the folder holds another problem, std::runtime_error (or Error) when
// a file cannot be written or the start point cannot run.
OptimizeResult run_optimization(const OptimizeProblem& problem, const OptimizeOptions& options);

// Why this build cannot optimise (the Windows build has no NLopt), or nothing.
std::optional<std::string> optimization_unavailable();

}  // namespace varnock
