#include "optimize/optimize_search.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <nlopt.hpp>
#include <set>

#include "study/study_values.h"

namespace varnock {
namespace {

// What a point that gives no merit costs the optimisers: worse than any
// merit, and finite, for DIRECT's bounds work with it.
constexpr double WORST_MERIT = 1e30;
// Points in [0, 1] closer than this are one point to the local search.
constexpr double X_TOLERANCE = 1e-6;

struct Stop : std::exception {};       // the whole search ends
struct PhaseDone : std::exception {};  // this algorithm's share of the points is used

class Search {
 public:
  Search(const SearchSetup& setup, const SearchHooks& hooks) : setup_(setup), hooks_(hooks) {}

  // The values at u; the start's position gives the sheet's own values
  // exactly (lo + u range need not round back to them).
  std::vector<double> values_of(const std::vector<double>& u) const {
    if (u == start_u_) return setup_.start;
    std::vector<double> v(u.size());
    for (std::size_t k = 0; k < u.size(); ++k) {
      v[k] = setup_.lo[k] + std::clamp(u[k], 0.0, 1.0) * (setup_.hi[k] - setup_.lo[k]);
    }
    return v;
  }

  void set_start(const std::vector<double>& u) { start_u_ = u; }

  double evaluate(const std::vector<double>& u, const std::string& phase) {
    if (!hooks_.keep_going()) {
      outcome_.stopped = true;
      throw Stop();
    }
    const std::vector<double> values = values_of(u);
    // A point new to this search counts against the cap, wherever its
    // record comes from, so that a resumed search stops where the first
    // would have.
    std::string key;
    for (double v : values) key += shortest_text(v) + '\t';
    if (!seen_.count(key)) {
      if (static_cast<std::int64_t>(seen_.size()) >= setup_.evaluations) throw Stop();
      if (static_cast<std::int64_t>(seen_.size()) >= phase_limit_) throw PhaseDone();
      seen_.insert(key);
    }
    SearchEvaluation e;
    e.evaluation = static_cast<std::int64_t>(outcome_.history.size()) + 1;
    e.phase = phase;
    e.values = values;
    e.points = static_cast<std::int64_t>(seen_.size());
    const std::optional<double> merit = hooks_.merit(values, phase, e.cached);
    if (!merit) {
      outcome_.stopped = true;  // the run was cancelled: it has no merit
      throw Stop();
    }
    e.merit = *merit;
    const bool better = std::isfinite(e.merit) &&
                        (outcome_.best < 0 || e.merit < outcome_.history[static_cast<std::size_t>(outcome_.best)].merit);
    if (better) outcome_.best = static_cast<std::int64_t>(outcome_.history.size());
    e.best_merit = outcome_.best < 0 ? NAN : (better ? e.merit : outcome_.history[static_cast<std::size_t>(outcome_.best)].merit);
    outcome_.history.push_back(e);
    if (hooks_.evaluated) hooks_.evaluated(e);
    return std::isfinite(e.merit) ? e.merit : WORST_MERIT;
  }

  // One NLopt algorithm from u over the box, until it converges, its share
  // of the evaluations is used or the search stops.
  void run(nlopt::algorithm algorithm, std::vector<double>& u, std::int64_t budget, const std::string& phase,
           const std::vector<double>& step) {
    if (budget <= 0) return;
    phase_limit_ = distinct() + budget;
    const unsigned n = static_cast<unsigned>(u.size());
    nlopt::opt opt(algorithm, n);
    opt.set_lower_bounds(std::vector<double>(n, 0.0));
    opt.set_upper_bounds(std::vector<double>(n, 1.0));
    struct Call {
      Search* search;
      const std::string* phase;
      std::exception_ptr failure;
      bool stop = false;
    } call{this, &phase, nullptr};
    opt.set_min_objective(
        [](const std::vector<double>& x, std::vector<double>&, void* data) {
          Call& c = *static_cast<Call*>(data);
          try {
            return c.search->evaluate(x, *c.phase);
          } catch (const Stop&) {
            c.stop = true;
          } catch (const PhaseDone&) {
            // The next algorithm, if any, takes over.
          } catch (...) {
            c.failure = std::current_exception();
          }
          throw nlopt::forced_stop();
        },
        &call);
    // Calls, repeats included; the cap on distinct points is ours.
    opt.set_maxeval(static_cast<int>(std::min<std::int64_t>(budget * 20, 1 << 30)));
    if (!step.empty()) opt.set_initial_step(step);
    opt.set_xtol_abs(X_TOLERANCE);
    nlopt::srand(setup_.seed);
    double merit = 0;
    try {
      opt.optimize(u, merit);
    } catch (const nlopt::forced_stop&) {
    } catch (const nlopt::roundoff_limited&) {
      // Converged as far as the merit's resolution allows.
    }
    if (call.failure) std::rethrow_exception(call.failure);
    if (call.stop) throw Stop();
  }

  std::vector<double> best_u() const {
    const SearchEvaluation& b = outcome_.history[static_cast<std::size_t>(outcome_.best)];
    if (b.values == setup_.start) return start_u_;
    std::vector<double> u(b.values.size());
    for (std::size_t k = 0; k < u.size(); ++k) u[k] = (b.values[k] - setup_.lo[k]) / (setup_.hi[k] - setup_.lo[k]);
    return u;
  }

  void set_phase_limit(std::int64_t limit) { phase_limit_ = limit; }
  SearchOutcome finish() { return std::move(outcome_); }
  SearchOutcome& outcome() { return outcome_; }
  std::int64_t distinct() const { return static_cast<std::int64_t>(seen_.size()); }

 private:
  const SearchSetup& setup_;
  const SearchHooks& hooks_;
  SearchOutcome outcome_;
  std::set<std::string> seen_;
  std::int64_t phase_limit_ = 0;  // distinct points the running algorithm may reach
  std::vector<double> start_u_;
};

}  // namespace

SearchOutcome run_search(const SearchSetup& setup, const SearchHooks& hooks) {
  Search search(setup, hooks);
  const std::size_t n = setup.lo.size();
  std::vector<double> u(n), step(n);
  for (std::size_t k = 0; k < n; ++k) {
    const double range = setup.hi[k] - setup.lo[k];
    u[k] = (setup.start[k] - setup.lo[k]) / range;
    step[k] = setup.step[k] / range;
  }
  search.outcome().algorithm =
      setup.global ? "DIRECT-L over the bounds, then Sbplx from its best point" : "Sbplx from the sheet's values";
  search.set_start(u);
  try {
    search.set_phase_limit(1);
    search.evaluate(u, "start");
    if (setup.global) {
      // Most of the evaluations to the global search, the rest to polish.
      const std::int64_t global = setup.evaluations * 7 / 10;
      std::vector<double> g(n, 0.5);
      search.run(nlopt::GN_DIRECT_L, g, global - search.distinct(), "global", {});
      if (search.outcome().best >= 0) u = search.best_u();
      std::vector<double> polish(n);
      for (std::size_t k = 0; k < n; ++k) polish[k] = step[k] / 2;
      search.run(nlopt::LN_SBPLX, u, setup.evaluations - search.distinct(), "local", polish);
    } else {
      search.run(nlopt::LN_SBPLX, u, setup.evaluations - search.distinct(), "local", step);
    }
  } catch (const Stop&) {
  }
  return search.finish();
}

}  // namespace varnock
