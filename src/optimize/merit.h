// The merit of an optimisation: each goal's term from its value and scale,
// weighted into one number (see optimize.h).
#pragma once

#include <vector>

#include "optimize/optimize.h"

namespace varnock {

// The term of a goal of value e: not a number when e is none.
double goal_term(const OptimizeGoal& goal, double e, double scale);

// sum(w term) / sum(w); not a number when a term is.
double merit_of(const std::vector<OptimizeGoal>& goals, const std::vector<double>& values,
                const std::vector<double>& scales);

// Each goal's scale: its own, or the magnitude of its value at the start
// (1 where that is 0 or none).
std::vector<double> goal_scales(const std::vector<OptimizeGoal>& goals, const std::vector<double>& start_values);

}  // namespace varnock
