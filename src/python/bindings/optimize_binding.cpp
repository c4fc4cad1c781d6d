// varnock._core.optimize: varnock optimize from Python, into a folder, the
// same search and files as the command.
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cmath>
#include <stdexcept>

#include "bindings.h"
#include "blocking_call.h"
#include "errors.h"
#include "optimize/optimize.h"
#include "support/files.h"

namespace py = pybind11;

namespace varnock_python {
namespace {

// (kind, expression, weight, scale or None, target or None)
using GoalTuple = std::tuple<std::string, std::string, double, std::optional<double>, std::optional<double>>;

varnock::OptimizeGoal goal_of(const GoalTuple& given) {
  const auto& [kind, expression, weight, scale, target] = given;
  varnock::OptimizeGoal g;
  if (kind == "minimize") g.kind = varnock::OptimizeGoal::Kind::Minimize;
  else if (kind == "maximize") g.kind = varnock::OptimizeGoal::Kind::Maximize;
  else if (kind == "target") g.kind = varnock::OptimizeGoal::Kind::Target;
  else throw py::value_error("a goal is 'minimize', 'maximize' or 'target', not '" + kind + "'");
  if (g.kind == varnock::OptimizeGoal::Kind::Target) {
    if (!target || !std::isfinite(*target)) {
      throw py::value_error("a target goal needs a finite value: ('target', 'EXPR=VALUE'[, weight])");
    }
    g.target = *target;
  }
  if (!(weight > 0) || !std::isfinite(weight)) throw py::value_error("a goal's weight must be a positive number");
  if (scale && !(*scale > 0 && std::isfinite(*scale))) throw py::value_error("a goal's scale must be a positive number");
  g.expression = varnock::parse_goal(expression);
  g.weight = weight;
  g.scale = scale;
  return g;
}

}  // namespace

void bind_optimize(py::module_& m) {
  m.def(
      "optimize",
      [](const varnock::Sheet& sheet, const std::vector<std::string>& vary, const std::vector<std::string>& steps,
         const std::vector<GoalTuple>& goals, const std::string& method, std::int64_t evaluations, std::uint64_t seed,
         bool smoothing, bool exact, unsigned threads, const std::filesystem::path& folder, bool resume,
         const py::object& progress) {
        if (method != "local" && method != "global") throw py::value_error("method is 'local' or 'global'");
        if (evaluations < 1) throw py::value_error("evaluations must be 1 or more");
        varnock::OptimizeProblem problem;
        problem.sheet = sheet;
        problem.sheet_name = varnock::display(varnock::utf8_path(sheet.name()).filename());
        problem.variables = varnock::optimize_variables(sheet, vary, steps);
        for (const GoalTuple& g : goals) problem.goals.push_back(goal_of(g));
        if (problem.goals.empty()) throw py::value_error("give at least one goal");
        problem.method = method == "global" ? varnock::OptimizeProblem::Method::Global
                                            : varnock::OptimizeProblem::Method::Local;
        problem.evaluations = evaluations;
        problem.seed = seed;
        problem.smoothing = smoothing;
        problem.exact = exact;
        std::string json;
        call_without_gil(
            [&](const std::atomic<bool>& cancel, ProgressSlot& slot) {
              varnock::OptimizeOptions options;
              options.folder = folder;
              options.threads = threads;
              options.resume = resume;
              options.cancel = &cancel;
              options.on_progress = [&slot](std::int64_t, std::int64_t points, std::int64_t cap, double,
                                            double elapsed) {
                // Of the cap on points: the search may converge before it.
                const double fraction = std::min(1.0, static_cast<double>(points) / static_cast<double>(cap));
                slot.put(Progress{fraction, points, cap, 0, elapsed, -1});
              };
              with_folder_failures(folder, [&] { json = varnock::run_optimization(problem, options).json; });
            },
            progress);
        return json;
      },
      py::arg("sheet"), py::arg("vary"), py::arg("steps"), py::arg("goals"), py::arg("method"), py::arg("evaluations"),
      py::arg("seed"), py::arg("smoothing"), py::arg("exact"), py::arg("threads"), py::arg("folder"), py::arg("resume"),
      py::arg("progress"), "An optimisation into a folder (see varnock.optimize); optimize.json's text.");
}

}  // namespace varnock_python
