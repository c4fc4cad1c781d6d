// The quantities an optimisation's goals ask of a run, as the command line
// writes them: "ratio", "rms_radius(IXY)", "uniformity(IXY, 10)",
// "match(IXY, target.csv)", ... Sizes are in the unit the report shows
// (mm for IXY, mrad for IUV and IUV_P), and every map measure is the one the
// report's statistics use (report/map_measures.h).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "varnock/varnock.h"

namespace varnock {

enum class GoalMap { IXY, IUV, IUV_P };

struct GoalExpression {
  enum class Kind {
    Ratio, Transmitted, Total, Peak, CentroidX, CentroidY, RmsX, RmsY, RmsRadius, Uniformity, MinMean, Match
  } kind = Kind::Ratio;
  GoalMap map = GoalMap::IXY;
  double size = 0;                  // uniformity, min_mean: the square's side
  std::filesystem::path file;       // match: the target's CSV
  GridValues target{};              // match: the target's cells, [first index][second index]
  std::string text;                 // the expression in its canonical form
  // The unit of the quantity: "mm", "mrad" or "" (weights and ratios).
  const char* unit() const;
};

// The accepted forms, for messages.
extern const char* const GOAL_FORMS;

// Parses an expression; reads a match's target file. Throws
// std::invalid_argument naming the accepted forms for anything else, and
// for a target that is not a 41 x 41 grid as varnock run --csv writes it.
GoalExpression parse_goal(const std::string& text);

// The maps a goal reads: a run's plain maps, or its smoothed ones.
struct GoalMaps {
  const GridValues* IXY = nullptr;
  const GridValues* IUV = nullptr;
  const GridValues* IUV_P = nullptr;
  double DXY = 0, DUV = 0;  // pitches: mm and rad
};
GoalMaps plain_maps(const RunMaps& maps);

// The goal's value for a run, or not a number when the run gives none (no
// weight in the window).
double goal_value(const GoalExpression& goal, const RunTotals& totals, const GoalMaps& maps);

// A number and nothing else (finite, read as the sheet reader reads
// numbers, whatever the process locale says), as bounds, steps, sizes,
// targets and a target file's cells are given; nothing otherwise.
std::optional<double> plain_number(const std::string& text);

// A 41 x 41 grid from the CSV varnock run --csv writes (comment lines, a
// header row of the first index's centres, a row per second index led by
// its centre). Throws std::invalid_argument saying what is wrong.
GridValues read_grid_csv(const std::filesystem::path& path);

}  // namespace varnock
