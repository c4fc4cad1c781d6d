// Which block tracer a run's options ask for.
#pragma once

#include <optional>

#include "trace/ray_block.h"
#include "varnock/varnock.h"

namespace varnock {

// The exact tracer, or the fast one of the path asked for; nothing when
// the fast mode or that path is not available here.
std::optional<BlockTracer> block_tracer_for(const RunOptions& options);

}  // namespace varnock
