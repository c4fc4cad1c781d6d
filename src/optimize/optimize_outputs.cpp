#include "optimize/optimize_outputs.h"

#include <cmath>

#include "optimize/merit.h"
#include "optimize/optimize_page.h"
#include "study/study_json.h"
#include "study/study_table.h"
#include "study/study_values.h"
#include "support/files.h"

namespace varnock {
namespace {

using Json = StudyJson;

Json number(double v) { return json_number(v); }

std::string csv_number(double v) { return std::isfinite(v) ? shortest_text(v) : std::string(); }

std::string history_csv(const OptimizeOutputs& o) {
  const OptimizeProblem& p = *o.problem;
  std::vector<std::string> header = {"evaluation", "phase", "cached"};
  for (const OptimizeVariable& v : p.variables) header.push_back(v.cell.value_name);
  for (const OptimizeGoal& g : p.goals) header.push_back(g.expression.text);
  header.push_back("merit");
  header.push_back("best_merit");
  std::string csv = csv_row(header);
  for (std::size_t k = 0; k < o.outcome->history.size(); ++k) {
    const SearchEvaluation& e = o.outcome->history[k];
    std::vector<std::string> row = {std::to_string(e.evaluation), e.phase, e.cached ? "1" : "0"};
    for (double v : e.values) row.push_back(shortest_text(v));
    for (double g : (*o.goal_history)[k]) row.push_back(csv_number(g));
    row.push_back(csv_number(e.merit));
    row.push_back(csv_number(e.best_merit));
    csv += csv_row(row);
  }
  return csv;
}

Json grid_json(const GridValues& g) {
  Json rows = Json::array();
  for (const auto& row : g) {
    Json r = Json::array();
    for (double v : row) r.push_back(number(v));
    rows.push_back(std::move(r));
  }
  return rows;
}

Json result_json(const OptimizeOutputs& o) {
  const OptimizeProblem& p = *o.problem;
  const SearchOutcome& s = *o.outcome;
  const std::size_t best = static_cast<std::size_t>(s.best < 0 ? 0 : s.best);
  const std::vector<double>& start_goals = o.goal_history->front();
  const std::vector<double>& best_goals = (*o.goal_history)[best];
  Json j;
  j["sheet"] = p.sheet_name;
  j["method"] = p.method == OptimizeProblem::Method::Local ? "local" : "global";
  j["algorithm"] = s.algorithm;
  j["smoothing"] = p.smoothing;
  j["mode"] = p.exact ? "exact" : "fast";
  j["seed"] = p.seed;
  j["evaluations"] = p.evaluations;
  j["evaluations_run"] = s.history.size();
  j["runs"] = o.runs;
  j["best_evaluation"] = s.history[best].evaluation;
  j["stopped"] = s.stopped;
  j["elapsed_seconds"] = o.elapsed_seconds;
  Json vars = Json::array();
  for (std::size_t k = 0; k < p.variables.size(); ++k) {
    const OptimizeVariable& v = p.variables[k];
    vars.push_back({{"name", v.cell.value_name}, {"cell", v.cell.sheet_name}, {"lo", v.lo}, {"hi", v.hi},
                    {"step", v.step}, {"start", v.start}, {"best", s.history[best].values[k]}});
  }
  j["variables"] = vars;
  // Each goal's share of the merit at the best point: its weighted term's
  // magnitude over the sum of all of theirs (a maximised goal's term is
  // negative).
  double weighted = 0;
  for (std::size_t k = 0; k < p.goals.size(); ++k) {
    weighted += std::fabs(p.goals[k].weight * goal_term(p.goals[k], best_goals[k], o.scales[k]));
  }
  Json goals = Json::array();
  for (std::size_t k = 0; k < p.goals.size(); ++k) {
    const OptimizeGoal& g = p.goals[k];
    const double best_term = goal_term(g, best_goals[k], o.scales[k]);
    Json goal = {{"kind", g.kind_name()},
                 {"expression", g.expression.text},
                 {"target", g.kind == OptimizeGoal::Kind::Target ? Json(g.target) : Json(nullptr)},
                 {"weight", g.weight},
                 {"scale", number(o.scales[k])},
                 {"unit", g.expression.unit()},
                 {"start", number(start_goals[k])},
                 {"best", number(best_goals[k])},
                 {"start_term", number(goal_term(g, start_goals[k], o.scales[k]))},
                 {"best_term", number(best_term)},
                 {"contribution", weighted > 0 ? number(std::fabs(g.weight * best_term) / weighted) : Json(nullptr)},
                 {"exact_start", number(o.exact_start[k])},
                 {"exact_best", number(o.exact_best[k])}};
    goals.push_back(std::move(goal));
  }
  j["goals"] = goals;
  j["merit"] = {{"start", number(s.history.front().merit)},
                {"best", number(s.history[best].merit)},
                {"exact_start", number(merit_of(p.goals, o.exact_start, o.scales))},
                {"exact_best", number(merit_of(p.goals, o.exact_best, o.scales))}};
  j["notes"] = o.notes;
  return j;
}

}  // namespace

std::string write_optimize_outputs(const OptimizeOutputs& o, const std::filesystem::path& folder) {
  write_atomically(folder / "history.csv", history_csv(o));
  const Json result = result_json(o);
  const std::string text = result.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";

  Json page = result;
  page["title"] = "optimize of " + o.problem->sheet_name;
  page["generated_by"] = std::string("varnock ") + version();
  Json history = Json::array();
  for (const SearchEvaluation& e : o.outcome->history) {
    Json values = Json::array();
    for (double v : e.values) values.push_back(number(v));
    history.push_back({{"evaluation", e.evaluation}, {"merit", number(e.merit)}, {"best_merit", number(e.best_merit)},
                       {"values", values}, {"phase", e.phase}, {"cached", e.cached}});
  }
  page["history"] = std::move(history);
  page["maps"] = {{"pitch", number(o.pitch)}, {"unit", "mm"}, {"start", grid_json(o.start_ixy)},
                  {"best", grid_json(o.best_ixy)}};
  write_atomically(folder / "optimize.html",
                   optimize_page(page.dump(-1, ' ', false, Json::error_handler_t::replace)));
  write_atomically(folder / "optimize.json", text);
  return text;
}

}  // namespace varnock
