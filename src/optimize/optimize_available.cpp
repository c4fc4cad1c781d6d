// This build has NLopt: varnock optimize runs.
#include "optimize/optimize.h"

namespace varnock {

std::optional<std::string> optimization_unavailable() { return std::nullopt; }

}  // namespace varnock
