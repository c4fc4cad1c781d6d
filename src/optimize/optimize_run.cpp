// An optimisation from start to end: the evaluations as runs in memory
// (their records on disk), the search, then the exact runs of the start and
// the best point and the folder's files.
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "optimize/merit.h"
#include "optimize/optimize.h"
#include "optimize/optimize_outputs.h"
#include "optimize/optimize_points.h"
#include "optimize/optimize_search.h"
#include "study/study_values.h"
#include "support/files.h"

namespace varnock {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> texts_of(const std::vector<double>& values) {
  std::vector<std::string> texts;
  for (double v : values) texts.push_back(shortest_text(v));
  return texts;
}

Sheet sheet_with(const OptimizeProblem& p, const std::vector<std::string>& texts) {
  Sheet sheet = p.sheet;
  for (std::size_t k = 0; k < texts.size(); ++k) sheet.set_text(p.variables[k].cell.sheet_name, texts[k]);
  return sheet;
}

std::vector<double> goal_values(const OptimizeProblem& p, const RunSuccess& run, bool smoothed) {
  GoalMaps maps = plain_maps(run.maps);
  if (smoothed && run.maps.smoothed) {
    maps.IXY = &run.maps.smoothed->IXY;
    maps.IUV = &run.maps.smoothed->IUV;
    maps.IUV_P = &run.maps.smoothed->IUV_P;
  }
  std::vector<double> values;
  for (const OptimizeGoal& g : p.goals) values.push_back(goal_value(g.expression, run.totals, maps));
  return values;
}

// A run that refuses the sheet or cannot write: the optimisation cannot go on.
[[noreturn]] void fail_run(const RunFailure& f) { throw Error(f); }

}  // namespace

OptimizeResult run_optimization(const OptimizeProblem& p, const OptimizeOptions& options) {
  const Clock::time_point start_time = Clock::now();
  if (const std::optional<std::string> why = optimization_unavailable()) throw std::runtime_error(*why);
  std::filesystem::create_directories(options.folder);
  EvaluationStore store(options.folder, p.points_key(), p.goals.size(), options.resume);
  const std::size_t on_disk = store.size();

  RunOptions run_options;
  run_options.threads = options.threads;
  run_options.fast = !p.exact;
  run_options.smoothed_maps = p.smoothing;
  run_options.cancel = options.cancel;
  auto cancelled = [&] { return options.cancel != nullptr && options.cancel->load(); };

  OptimizeResult result;
  std::vector<double> scales;
  // The record of a point: from disk, or run now.
  auto record_of = [&](const std::vector<double>& values, bool& cached) -> const EvaluationRecord* {
    const std::vector<std::string> texts = texts_of(values);
    if (const EvaluationRecord* r = store.find(texts)) {
      cached = true;
      return r;
    }
    cached = false;
    EvaluationRecord r;
    r.texts = texts;
    r.values = values;
    const RunResult ran = run(sheet_with(p, texts), run_options);
    if (!ran.ok()) {
      if (ran.failure().kind == FailureKind::Cancelled) return nullptr;
      if (ran.failure().kind != FailureKind::Sheet) fail_run(ran.failure());
      r.message = ran.failure().describe();  // this point's sheet is refused: the worst merit
      r.goals.assign(p.goals.size(), NAN);
    } else {
      r.ok = true;
      r.goals = goal_values(p, ran.success(), p.smoothing);
      r.totals = ran.success().totals;
    }
    store.add(r);
    ++result.runs;
    return store.find(texts);
  };

  SearchSetup setup;
  for (const OptimizeVariable& v : p.variables) {
    setup.lo.push_back(v.lo);
    setup.hi.push_back(v.hi);
    setup.start.push_back(v.start);
    setup.step.push_back(v.step);
  }
  setup.global = p.method == OptimizeProblem::Method::Global;
  setup.evaluations = p.evaluations;
  setup.seed = p.seed;

  std::vector<std::vector<double>> goal_history;  // each evaluation's goal values
  SearchHooks hooks;
  hooks.keep_going = [&] { return !cancelled(); };
  hooks.merit = [&](const std::vector<double>& values, const std::string& phase,
                    bool& cached) -> std::optional<double> {
    const EvaluationRecord* r = record_of(values, cached);
    if (r == nullptr) return std::nullopt;  // cancelled: the search stops
    if (phase == "start") {
      if (!r->ok) throw Error(RunFailure{FailureKind::Sheet, p.sheet.name(), 0, 0, "the start point does not run: " + r->message});
      // A goal that is no number at the start (no weight where it looks)
      // would make every merit the worst: nothing to search for.
      for (std::size_t k = 0; k < p.goals.size(); ++k) {
        if (!std::isfinite(r->goals[k])) {
          throw std::invalid_argument("goal " + p.goals[k].expression.text +
                                      " is not a number at the start: its map has no weight where it looks");
        }
      }
      scales = goal_scales(p.goals, r->goals);
    }
    goal_history.push_back(r->goals);
    return merit_of(p.goals, r->goals, scales);
  };
  hooks.evaluated = [&](const SearchEvaluation& e) {
    if (options.on_progress) {
      options.on_progress(e.evaluation, e.points, p.evaluations, e.best_merit,
                          std::chrono::duration<double>(Clock::now() - start_time).count());
    }
  };
  SearchOutcome outcome = run_search(setup, hooks);
  if (outcome.history.empty()) {
    if (cancelled()) {
      throw Error(RunFailure{FailureKind::Cancelled, p.sheet.name(), 0, 0, "stopped before the start point had run"});
    }
    throw std::runtime_error("the search evaluated no point");
  }
  result.stopped = outcome.stopped;
  result.evaluations = static_cast<std::int64_t>(outcome.history.size());
  if (on_disk > 0) result.notes.push_back(std::to_string(on_disk) + " points were on disk already");

  // The exact runs of the start and the best point, on their plain maps, as
  // the report shows them; the best point's files go into the folder.
  const SearchEvaluation& best = outcome.history[static_cast<std::size_t>(outcome.best < 0 ? 0 : outcome.best)];
  RunOptions exact;
  exact.threads = options.threads;
  const Sheet best_sheet = sheet_with(p, texts_of(best.values));
  const RunResult start_run = run(sheet_with(p, texts_of(outcome.history.front().values)), exact);
  if (!start_run.ok()) fail_run(start_run.failure());
  RunOptions files = exact;
  files.write_report_page = true;
  files.write_run_record = true;
  const RunResult best_run = run(best_sheet, files, options.folder);
  if (!best_run.ok()) fail_run(best_run.failure());

  OptimizeOutputs out;
  out.problem = &p;
  out.outcome = &outcome;
  out.goal_history = &goal_history;
  out.scales = scales;
  out.exact_start = goal_values(p, start_run.success(), false);
  out.exact_best = goal_values(p, best_run.success(), false);
  out.start_ixy = start_run.success().maps.IXY;
  out.best_ixy = best_run.success().maps.IXY;
  out.pitch = best_run.success().maps.DXY;
  out.runs = result.runs;
  out.elapsed_seconds = std::chrono::duration<double>(Clock::now() - start_time).count();
  out.notes = result.notes;
  write_atomically(options.folder / "best.txt", best_sheet.bytes());
  result.json = write_optimize_outputs(out, options.folder);
  result.best_merit = best.merit;
  result.best_values = best.values;
  return result;
}

}  // namespace varnock
