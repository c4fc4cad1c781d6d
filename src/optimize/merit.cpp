#include "optimize/merit.h"

#include <cmath>

namespace varnock {

double goal_term(const OptimizeGoal& goal, double e, double scale) {
  switch (goal.kind) {
    case OptimizeGoal::Kind::Minimize: return e / scale;
    case OptimizeGoal::Kind::Maximize: return -e / scale;
    case OptimizeGoal::Kind::Target: {
      const double d = (e - goal.target) / scale;
      return d * d;
    }
  }
  return NAN;
}

double merit_of(const std::vector<OptimizeGoal>& goals, const std::vector<double>& values,
                const std::vector<double>& scales) {
  double sum = 0, weights = 0;
  for (std::size_t k = 0; k < goals.size(); ++k) {
    sum += goals[k].weight * goal_term(goals[k], values[k], scales[k]);
    weights += goals[k].weight;
  }
  return sum / weights;
}

std::vector<double> goal_scales(const std::vector<OptimizeGoal>& goals, const std::vector<double>& start_values) {
  std::vector<double> scales;
  for (std::size_t k = 0; k < goals.size(); ++k) {
    const double magnitude = std::fabs(start_values[k]);
    scales.push_back(goals[k].scale ? *goals[k].scale : (std::isfinite(magnitude) && magnitude > 0 ? magnitude : 1.0));
  }
  return scales;
}

}  // namespace varnock
