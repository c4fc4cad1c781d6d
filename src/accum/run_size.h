// The work of a run before it runs: source positions, rays traced (rays of
// non-negative weight) and ray-surface steps. A ray's weight depends on
// its ring point only, not on the scan step, so the rays of one ring point
// are counted once for all steps: every point when that is cheap, a spread
// sample of them otherwise.
#pragma once

#include "model/model.h"
#include "varnock/varnock.h"

namespace varnock {

// sys holds the sheet and its built fan.
RunSize run_size(const SystemState& sys);

}  // namespace varnock
