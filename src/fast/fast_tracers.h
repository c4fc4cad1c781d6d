// The fast tracers, one per instruction set, and the choice among them at
// run time. Each takes the place of the exact block tracer: the same
// surfaces without trigonometric functions (fast_steps.h). Every path gives
// the same bits, so the choice changes only the speed.
#pragma once

#include "trace/ray_block.h"
#include "varnock/varnock.h"

namespace varnock::fast {

void trace_block_avx512(const SurfaceStep* steps, int count, RayBlock& block);
void trace_block_avx2(const SurfaceStep* steps, int count, RayBlock& block);
void trace_block_sse2(const SurfaceStep* steps, int count, RayBlock& block);

// Whether this processor can run a path; Auto and Sse2 always can.
bool supported(SimdPath path);
// The widest path this processor has.
SimdPath best_path();
// The tracer of a path (Auto: the best one). The path must be supported.
BlockTracer tracer(SimdPath path);
// Whether a block tracer is one of these.
bool is_fast(const BlockTracer& tracer);

}  // namespace varnock::fast
