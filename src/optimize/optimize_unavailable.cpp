// A build without NLopt (the Windows cross-build: Debian has no NLopt for
// its cross-compiler) has no optimisers: the command says so before it
// looks at its arguments.
#include <stdexcept>

#include "optimize/optimize.h"

namespace varnock {

std::optional<std::string> optimization_unavailable() {
  return std::string("optimize is a Linux command: this build has no NLopt, whose optimisers it uses");
}

OptimizeResult run_optimization(const OptimizeProblem&, const OptimizeOptions&) {
  throw std::runtime_error(*optimization_unavailable());
}

}  // namespace varnock
