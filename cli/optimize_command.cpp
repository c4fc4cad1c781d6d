// varnock optimize: the values of some cells that give the light asked for.
#include <atomic>
#include <cmath>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "exit_codes.h"
#include "optimize/optimize.h"
#include "platform/platform.h"
#include "progress.h"
#include "study/study_values.h"
#include "support/files.h"
#include "text_format.h"

namespace varnock_cli {
namespace {

struct OptimizeArguments {
  std::string sheet;
  std::vector<std::string> vary, steps, minimize, maximize, target;
  std::vector<double> weights, scales;
  std::string method = "local";
  std::int64_t evaluations = 200;
  std::uint64_t seed = 1;
  bool no_smoothing = false, exact = false, fast = false, resume = false, quiet = false;
  unsigned threads = 0;
  std::string output_dir;
};

std::atomic<bool> stop_requested{false};

double number_or_refuse(const std::string& text, const std::string& what) {
  const std::optional<double> n = varnock::plain_number(text);
  if (!n) throw std::invalid_argument(what + ": \"" + text + "\" is not a number");
  return *n;
}

// The goals in the order given, each --weight and --scale going to the goal
// before it.
std::vector<varnock::OptimizeGoal> goals_of(const CLI::App& cmd, const OptimizeArguments& a) {
  std::vector<varnock::OptimizeGoal> goals;
  std::size_t minimize = 0, maximize = 0, target = 0, weight = 0, scale = 0;
  for (const CLI::Option* o : cmd.parse_order()) {
    const std::string name = o->get_name();
    if (name == "--minimize" || name == "--maximize" || name == "--target") {
      varnock::OptimizeGoal g;
      std::string expression;
      if (name == "--minimize") {
        g.kind = varnock::OptimizeGoal::Kind::Minimize;
        expression = a.minimize.at(minimize++);
      } else if (name == "--maximize") {
        g.kind = varnock::OptimizeGoal::Kind::Maximize;
        expression = a.maximize.at(maximize++);
      } else {
        g.kind = varnock::OptimizeGoal::Kind::Target;
        const std::string& given = a.target.at(target++);
        const std::size_t eq = given.rfind('=');
        if (eq == std::string::npos) throw std::invalid_argument("--target " + given + ": give EXPR=VALUE");
        expression = given.substr(0, eq);
        g.target = number_or_refuse(given.substr(eq + 1), "--target " + given);
      }
      g.expression = varnock::parse_goal(expression);
      goals.push_back(std::move(g));
    } else if (name == "--weight" || name == "--scale") {
      const bool is_weight = name == "--weight";
      const double v = is_weight ? a.weights.at(weight++) : a.scales.at(scale++);
      if (goals.empty()) throw std::invalid_argument(name + " comes after the goal it belongs to");
      if (!(v > 0) || !std::isfinite(v)) throw std::invalid_argument(name + " must be a positive number");
      if (is_weight) goals.back().weight = v;
      else goals.back().scale = v;
    }
  }
  if (goals.empty()) throw std::invalid_argument("give a goal: --minimize EXPR, --maximize EXPR or --target EXPR=VALUE");
  return goals;
}

std::filesystem::path default_folder(const std::string& sheet) {
  const std::filesystem::path p = varnock::utf8_path(sheet);
  return p.parent_path() / varnock::utf8_path(varnock::display(p.stem()) + ".optimize");
}

int run_optimize(const CLI::App& cmd, const OptimizeArguments& a) {
  if (const std::optional<std::string> why = varnock::optimization_unavailable()) {
    std::cerr << "varnock: " << *why << '\n';
    return EXIT_BAD_INPUT;
  }
  varnock::OptimizeProblem problem;
  try {
    problem.sheet = varnock::Sheet::read(varnock::utf8_path(a.sheet));
    problem.sheet_name = varnock::display(varnock::utf8_path(a.sheet).filename());
    problem.variables = varnock::optimize_variables(problem.sheet, a.vary, a.steps);
    problem.goals = goals_of(cmd, a);
  } catch (const varnock::Error& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  } catch (const std::invalid_argument& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  }
  problem.method = a.method == "global" ? varnock::OptimizeProblem::Method::Global
                                        : varnock::OptimizeProblem::Method::Local;
  problem.evaluations = a.evaluations;
  problem.seed = a.seed;
  problem.smoothing = !a.no_smoothing;
  problem.exact = a.exact;

  varnock::OptimizeOptions options;
  options.folder = a.output_dir.empty() ? default_folder(a.sheet) : varnock::utf8_path(a.output_dir);
  options.threads = a.threads;
  options.resume = a.resume;
  options.cancel = &stop_requested;
  ProgressLine progress(!a.quiet && varnock::platform::stderr_is_terminal());
  options.on_progress = [&](std::int64_t evaluations, std::int64_t points, std::int64_t cap, double best,
                            double elapsed) {
    std::string line = "optimize: " + std::to_string(evaluations) + " evaluations, " + std::to_string(points) +
                       " of at most " + std::to_string(cap) + " points, best merit " +
                       (std::isfinite(best) ? varnock::shortest_text(best) : "none");
    // The search may converge before its cap: the time left is at most this.
    if (points > 0 && points < cap) line += ", up to " + duration_text(elapsed / points * (cap - points)) + " left";
    progress.show(line);
  };
  std::optional<varnock::platform::StopRequests> stops(std::in_place, stop_requested);
  varnock::OptimizeResult result;
  try {
    result = varnock::run_optimization(problem, options);
  } catch (const std::invalid_argument& e) {
    progress.clear();
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  } catch (const varnock::Error& e) {
    progress.clear();
    if (e.failure().kind == varnock::FailureKind::Cancelled) {
      const bool term = varnock::platform::last_stop_request() == varnock::platform::StopKind::terminate;
      std::cerr << "varnock: stopped by " << (term ? "a termination request" : "Ctrl-C")
                << " before the start point had run; nothing was written\n";
      return term ? EXIT_TERMINATED : EXIT_INTERRUPTED;
    }
    std::cerr << "varnock: " << e.what() << '\n';
    return e.failure().kind == varnock::FailureKind::Sheet ? EXIT_BAD_INPUT : EXIT_FAILED;
  } catch (const std::exception& e) {
    progress.clear();
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_FAILED;
  }
  stops.reset();
  progress.clear();
  for (const std::string& n : result.notes) std::cerr << "varnock: note: " << n << '\n';
  const std::filesystem::path& dir = options.folder;
  if (!a.quiet) {
    std::cout << "optimize of " << problem.sheet_name << ": " << result.evaluations << " evaluations, "
              << result.runs << " runs now\n";
    std::cout << "best merit        " << varnock::shortest_text(result.best_merit) << "\n";
    for (std::size_t k = 0; k < problem.variables.size(); ++k) {
      std::cout << "  " << problem.variables[k].cell.value_name << " = "
                << varnock::shortest_text(result.best_values[k]) << "\n";
    }
    std::cout << "best sheet        " << varnock::display(dir / "best.txt") << "\n"
              << "report            " << varnock::display(dir / "optimize.html") << "\n";
  }
  if (result.stopped) {
    const bool term = varnock::platform::last_stop_request() == varnock::platform::StopKind::terminate;
    std::cerr << "varnock: stopped by " << (term ? "a termination request" : "Ctrl-C")
              << "; the best point so far is written, and --resume goes on from there\n";
    return term ? EXIT_TERMINATED : EXIT_INTERRUPTED;
  }
  return EXIT_OK;
}

}  // namespace

void add_optimize_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<OptimizeArguments>();
  CLI::App* cmd = app.add_subcommand(
      "optimize",
      "Find the values of some cells that give the light asked for: vary them within bounds and "
      "minimise, maximise or bring to a target quantities of the maps (see the README for every "
      "goal and the merit). Writes best.txt (the sheet with the best values), the best point's "
      "files and report, optimize.json, history.csv and optimize.html.");
  cmd->add_option("SHEET", args->sheet, "Input sheet")->required();
  cmd->add_option("--vary", args->vary, "CELL=LO:HI: a real cell (C7, TH2, CV3) and its bounds; "
                  "the sheet's own value is the start")->required()->allow_extra_args(false);
  cmd->add_option("--step", args->steps, "CELL=S: the initial step of a variable (default a tenth of its range)")
      ->allow_extra_args(false);
  cmd->add_option("--minimize", args->minimize, "EXPR: a quantity to make small")->allow_extra_args(false);
  cmd->add_option("--maximize", args->maximize, "EXPR: a quantity to make large")->allow_extra_args(false);
  cmd->add_option("--target", args->target, "EXPR=VALUE: a quantity to bring to VALUE")->allow_extra_args(false);
  cmd->add_option("--weight", args->weights, "W: the weight of the goal before it (default 1)")->allow_extra_args(false);
  cmd->add_option("--scale", args->scales,
                  "S: the scale of the goal before it (default: its magnitude at the start)")->allow_extra_args(false);
  cmd->add_option("--method", args->method, "local (Sbplx from the start, the default) or global "
                  "(DIRECT-L over the bounds, then Sbplx)")->check(CLI::IsMember({"local", "global"}));
  cmd->add_option("--evaluations", args->evaluations, "Most points evaluated (default 200)")
      ->check(CLI::Range(std::int64_t{1}, std::int64_t{1'000'000}));
  cmd->add_option("--seed", args->seed, "Seed of any randomness of the search (default 1)");
  cmd->add_flag("--no-smoothing", args->no_smoothing,
                "Evaluate goals on the plain cells instead of bilinearly smoothed maps");
  CLI::Option* exact = cmd->add_flag("--exact", args->exact, "Evaluate in exact mode (default: fast mode)");
  cmd->add_flag("--fast", args->fast, "Evaluate in fast mode (the default)")->excludes(exact);
  cmd->add_option("-t,--threads", args->threads, "Threads of every run; 0 (the default) uses every CPU")
      ->check(CLI::Range(0u, 256u));
  cmd->add_option("-o,--output", args->output_dir, "Folder of the results (default NAME.optimize beside the sheet)");
  cmd->add_flag("--resume", args->resume, "Keep the points the folder holds and replay the search over them");
  cmd->add_flag("-q,--quiet", args->quiet, "Print nothing but warnings and failures");
  cmd->callback([cmd, args, &exit_code] { exit_code = run_optimize(*cmd, *args); });
}

}  // namespace varnock_cli
