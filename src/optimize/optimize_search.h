// The search over the variables with NLopt, and the account of every
// evaluation it asks for. The variables are searched in [0, 1] each
// (LO + u (HI - LO)), so that one step size and tolerance fit all.
//
// local:  Sbplx (Rowan's subplex: Nelder-Mead simplices on subspaces). It
//         needs no derivatives and compares merits only, so a merit that is
//         flat over small steps or slightly noisy stalls it less than
//         COBYLA, whose linear models such a merit corrupts.
// global: DIRECT-L (a deterministic division of the box into ever smaller
//         boxes, locally biased) with most of the evaluations, then Sbplx
//         from its best point with the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnock {

struct SearchEvaluation {
  std::int64_t evaluation = 0;  // 1, 2, ...
  std::string phase;            // "start", "global" or "local"
  std::vector<double> values;
  double merit = 0;             // not a number when a goal was none
  double best_merit = 0;        // the best so far (not a number while none)
  bool cached = false;          // the point was evaluated before: no run
  std::int64_t points = 0;      // distinct points of the search so far (the cap counts them)
};

struct SearchSetup {
  std::vector<double> lo, hi, start, step;
  bool global = false;
  std::int64_t evaluations = 200;  // distinct points the search may evaluate
  std::uint64_t seed = 1;
};

// What one evaluation asks: the merit of the values (not a number for the
// worst) and whether the point had been evaluated already, or nothing when
// its run was stopped; keep_going says false when the search is to stop
// (Ctrl-C).
struct SearchHooks {
  std::function<std::optional<double>(const std::vector<double>& values, const std::string& phase, bool& cached)>
      merit;
  std::function<bool()> keep_going;
  std::function<void(const SearchEvaluation&)> evaluated;
};

struct SearchOutcome {
  std::vector<SearchEvaluation> history;
  std::int64_t best = -1;  // index into history of the best evaluation
  bool stopped = false;
  std::string algorithm;   // in words, for the page
};

// The start point first, then the search. Distinct points beyond the cap
// end it; repeated points do not count.
SearchOutcome run_search(const SearchSetup& setup, const SearchHooks& hooks);

}  // namespace varnock
