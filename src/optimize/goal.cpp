#include "optimize/goal.h"

#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "model/c_numbers.h"
#include "report/map_measures.h"
#include "support/files.h"

namespace varnock {
namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

const char* map_name(GoalMap m) { return m == GoalMap::IXY ? "IXY" : m == GoalMap::IUV ? "IUV" : "IUV_P"; }

std::string trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return s.substr(a, b - a);
}

[[noreturn]] void refuse(const std::string& text, const std::string& why) {
  throw std::invalid_argument("goal \"" + text + "\": " + why + "; the accepted forms are " + GOAL_FORMS);
}

GoalMap map_of(const std::string& text, const std::string& name) {
  if (name == "IXY") return GoalMap::IXY;
  if (name == "IUV") return GoalMap::IUV;
  if (name == "IUV_P") return GoalMap::IUV_P;
  refuse(text, "\"" + name + "\" is not a map (IXY, IUV or IUV_P)");
}

double size_of(const std::string& text, const std::string& arg) {
  const std::optional<double> v = plain_number(arg);
  if (!v || !(*v > 0)) refuse(text, "the size \"" + arg + "\" is not a positive number");
  return *v;
}

std::vector<std::string> split_cells(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream in(line);
  for (std::string cell; std::getline(in, cell, ',');) cells.push_back(trimmed(cell));
  if (!line.empty() && line.back() == ',') cells.emplace_back();
  return cells;
}

}  // namespace

std::optional<double> plain_number(const std::string& text) {
  const ParsedNumber<double> n = parse_c_double(text);
  if (text.empty() || n.end != text.size() || !std::isfinite(n.value)) return std::nullopt;
  return n.value;
}

const char* const GOAL_FORMS =
    "ratio, transmitted, total, peak(MAP), centroid_x(MAP), centroid_y(MAP), rms_x(MAP), rms_y(MAP), "
    "rms_radius(MAP), uniformity(MAP, SIZE), min_mean(MAP, SIZE) and match(MAP, FILE), MAP one of "
    "IXY, IUV, IUV_P";

const char* GoalExpression::unit() const {
  switch (kind) {
    case Kind::CentroidX: case Kind::CentroidY: case Kind::RmsX: case Kind::RmsY: case Kind::RmsRadius:
      return map == GoalMap::IXY ? "mm" : "mrad";
    default:
      return "";
  }
}

GoalExpression parse_goal(const std::string& given) {
  const std::string text = trimmed(given);
  GoalExpression g;
  using K = GoalExpression::Kind;
  if (text == "ratio" || text == "transmitted" || text == "total") {
    g.kind = text == "ratio" ? K::Ratio : text == "transmitted" ? K::Transmitted : K::Total;
    g.text = text;
    return g;
  }
  const std::size_t open = text.find('(');
  if (open == std::string::npos || text.back() != ')') refuse(text, "not a quantity");
  const std::string name = trimmed(text.substr(0, open));
  std::vector<std::string> args = split_cells(text.substr(open + 1, text.size() - open - 2));
  struct Form { const char* name; K kind; int args; };
  static const Form forms[] = {{"peak", K::Peak, 1},          {"centroid_x", K::CentroidX, 1},
                               {"centroid_y", K::CentroidY, 1}, {"rms_x", K::RmsX, 1},
                               {"rms_y", K::RmsY, 1},          {"rms_radius", K::RmsRadius, 1},
                               {"uniformity", K::Uniformity, 2}, {"min_mean", K::MinMean, 2},
                               {"match", K::Match, 2}};
  for (const Form& f : forms) {
    if (name != f.name) continue;
    if (static_cast<int>(args.size()) != f.args) {
      refuse(text, std::string(f.name) + " takes " + (f.args == 1 ? "a map" : "a map and a " +
                                                      std::string(f.kind == K::Match ? "file" : "size")));
    }
    g.kind = f.kind;
    g.map = map_of(text, args[0]);
    g.text = std::string(f.name) + "(" + map_name(g.map);
    if (f.kind == K::Match) {
      g.file = utf8_path(args[1]);
      try {
        g.target = read_grid_csv(g.file);
      } catch (const std::invalid_argument& e) {
        throw std::invalid_argument("goal \"" + text + "\": " + e.what());
      }
      g.text += ", " + args[1];
    } else if (f.args == 2) {
      g.size = size_of(text, args[1]);
      g.text += ", " + args[1];
    }
    g.text += ")";
    return g;
  }
  refuse(text, "\"" + name + "\" is not a quantity");
}

GoalMaps plain_maps(const RunMaps& m) { return GoalMaps{&m.IXY, &m.IUV, &m.IUV_P, m.DXY, m.DUV}; }

double goal_value(const GoalExpression& g, const RunTotals& totals, const GoalMaps& maps) {
  using K = GoalExpression::Kind;
  switch (g.kind) {
    case K::Ratio: return totals.ratio;
    case K::Transmitted: return totals.transmitted;
    case K::Total: return totals.total;
    default: break;
  }
  const GridValues& map = g.map == GoalMap::IXY ? *maps.IXY : g.map == GoalMap::IUV ? *maps.IUV : *maps.IUV_P;
  const double pitch = g.map == GoalMap::IXY ? maps.DXY : 1000 * maps.DUV;  // mm, or mrad
  switch (g.kind) {
    case K::Peak: return map_peak(map).value;
    case K::Uniformity:
    case K::MinMean: {
      const std::optional<CellSpread> s = centred_square_spread(map, pitch, g.size);
      if (!s) return NOT_A_NUMBER;
      return g.kind == K::Uniformity ? s->std_over_mean : s->min_over_mean;
    }
    case K::Match: return map_match(map, g.target).value_or(NOT_A_NUMBER);
    default: break;
  }
  const std::optional<MapMoments> m = map_moments(map, pitch);
  if (!m) return NOT_A_NUMBER;
  switch (g.kind) {
    case K::CentroidX: return m->centroid[0];
    case K::CentroidY: return m->centroid[1];
    case K::RmsX: return m->rms[0];
    case K::RmsY: return m->rms[1];
    default: return m->rms_radius;
  }
}

GridValues read_grid_csv(const std::filesystem::path& path) {
  std::string text;
  try {
    text = read_whole_file(path);
  } catch (const std::exception&) {
    throw std::invalid_argument(display(path) + ": cannot be read");
  }
  std::vector<std::vector<std::string>> rows;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (trimmed(line).empty() || trimmed(line)[0] == '#') continue;
    rows.push_back(split_cells(line));
  }
  const std::string where = display(path) + ": ";
  if (rows.size() != GRID_SIZE + 1) {
    throw std::invalid_argument(where + "a target holds a header row and 41 rows of 41 cells, as varnock run --csv "
                                "writes it; this one has " + std::to_string(rows.empty() ? 0 : rows.size() - 1) + " rows");
  }
  GridValues grid{};
  double sum = 0;
  for (int j = 0; j < GRID_SIZE; ++j) {
    const std::vector<std::string>& row = rows[static_cast<std::size_t>(j) + 1];
    if (row.size() != GRID_SIZE + 1) {
      throw std::invalid_argument(where + "row " + std::to_string(j + 1) + " has " + std::to_string(row.size()) +
                                  " cells, not a centre and 41 values");
    }
    for (int i = 0; i < GRID_SIZE; ++i) {
      const std::string& cell = row[static_cast<std::size_t>(i) + 1];
      const std::optional<double> v = plain_number(cell);
      if (!v || *v < 0) {
        throw std::invalid_argument(where + "row " + std::to_string(j + 1) + ", column " + std::to_string(i + 2) +
                                    ": \"" + cell + "\" is not a weight (a number 0 or more)");
      }
      grid[i][j] = *v;
      sum += *v;
    }
  }
  if (!(sum > 0)) throw std::invalid_argument(where + "the target has no weight: every cell is 0");
  return grid;
}

}  // namespace varnock
