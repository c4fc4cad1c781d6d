// The optimisation's problem: its variables resolved in the sheet, and the
// text that identifies it in its folder.
#include <cmath>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "model/c_numbers.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "optimize/optimize.h"
#include "platform/sha256.h"
#include "study/study_values.h"

namespace varnock {
namespace {

// "CELL=REST" split at the first '='.
std::pair<std::string, std::string> assignment(const std::string& text, const char* option) {
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos || eq == 0) {
    throw std::invalid_argument(std::string(option) + " " + text + ": give CELL=" +
                                (std::string(option) == "--vary" ? "LO:HI" : "STEP"));
  }
  return {text.substr(0, eq), text.substr(eq + 1)};
}

std::string sheet_sha256(const std::string& bytes) {
  platform::Sha256 hash;
  hash.update(bytes.data(), bytes.size());
  return hash.hex_digest();
}

}  // namespace

const char* OptimizeGoal::kind_name() const {
  return kind == Kind::Minimize ? "minimize" : kind == Kind::Maximize ? "maximize" : "target";
}

std::vector<OptimizeVariable> optimize_variables(const Sheet& sheet, const std::vector<std::string>& vary,
                                                 const std::vector<std::string>& steps) {
  SystemState sys;
  std::vector<std::string> ignored;
  const SheetCells cells = SheetCells::parse(sheet.bytes());
  read_sheet(cells, sys, ignored);
  std::vector<OptimizeVariable> out;
  for (const std::string& v : vary) {
    const auto [name, range] = assignment(v, "--vary");
    OptimizeVariable var;
    var.name = name;
    var.cell = value_cell(name, sys);  // throws with the accepted names
    if (var.cell.integer) {
      throw std::invalid_argument("--vary " + v + ": " + var.cell.value_name +
                                  " is a whole-number cell; the optimisers move cells by fractions, so only "
                                  "real cells can be varied (sweep a whole-number cell instead)");
    }
    for (const OptimizeVariable& other : out) {
      if (other.cell.sheet_name == var.cell.sheet_name) {
        throw std::invalid_argument("--vary " + v + ": " + var.cell.sheet_name + " is varied twice");
      }
    }
    const std::size_t colon = range.find(':');
    const std::optional<double> lo = colon == std::string::npos ? std::nullopt : plain_number(range.substr(0, colon));
    const std::optional<double> hi = colon == std::string::npos ? std::nullopt : plain_number(range.substr(colon + 1));
    if (!lo || !hi) throw std::invalid_argument("--vary " + v + ": the bounds are LO:HI, two numbers");
    if (!(*lo < *hi)) throw std::invalid_argument("--vary " + v + ": LO must be below HI");
    var.lo = *lo;
    var.hi = *hi;
    var.start = parse_c_double(cells.at(var.cell.column, var.cell.row)).value;
    if (!(var.start >= var.lo && var.start <= var.hi)) {
      throw std::invalid_argument("--vary " + v + ": the sheet's " + var.cell.value_name + " is " +
                                  shortest_text(var.start) + ", outside the bounds; the search starts there");
    }
    var.step = (var.hi - var.lo) / 10;
    out.push_back(var);
  }
  if (out.empty()) throw std::invalid_argument("give at least one --vary CELL=LO:HI");
  for (const std::string& s : steps) {
    const auto [name, value] = assignment(s, "--step");
    const ValueCell cell = value_cell(name, sys);
    OptimizeVariable* var = nullptr;
    for (OptimizeVariable& o : out) {
      if (o.cell.sheet_name == cell.sheet_name) var = &o;
    }
    if (var == nullptr) throw std::invalid_argument("--step " + s + ": " + name + " is not varied (--vary)");
    const std::optional<double> step = plain_number(value);
    if (!step || !(*step > 0) || !(*step <= var->hi - var->lo)) {
      throw std::invalid_argument("--step " + s + ": a step is a positive number no larger than the range");
    }
    var->step = *step;
  }
  return out;
}

std::string OptimizeProblem::points_key() const {
  nlohmann::ordered_json j;
  j["sheet_sha256"] = sheet_sha256(sheet.bytes());
  for (const OptimizeVariable& v : variables) j["cells"].push_back(v.cell.sheet_name);
  for (const OptimizeGoal& g : goals) {
    // The goal's value is what a record keeps; its kind, target, weight and
    // scale only make the merit, so another of those reuses the points.
    nlohmann::ordered_json goal = {{"expression", g.expression.text}};
    if (g.expression.kind == GoalExpression::Kind::Match) {
      // The target's cells, not its name: a changed file is another problem.
      nlohmann::ordered_json cells = nlohmann::ordered_json::array();
      for (const auto& row : g.expression.target) cells.push_back(row);
      goal["target_cells"] = std::move(cells);
    }
    j["goals"].push_back(std::move(goal));
  }
  j["smoothing"] = smoothing;
  j["mode"] = exact ? "exact" : "fast";
  return j.dump(2) + "\n";
}

}  // namespace varnock
