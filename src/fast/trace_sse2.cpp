// The fast tracer every x86-64 processor runs: two rays a vector.
#include <emmintrin.h>

#include "fast/fast_block.h"
#include "fast/fast_tracers.h"

namespace varnock::fast {
namespace {

struct Sse2Maths {
  using Raw = __m128d;
  static Raw sqrt(Raw x) { return _mm_sqrt_pd(x); }
  // SSE2 has no rounding instruction (vector_lanes.h).
  static Raw floor(Raw x) { return floor_by_rounding(x); }
};

}  // namespace

void trace_block_sse2(const SurfaceStep* steps, int count, RayBlock& block) {
  trace_fast_block<VectorLanes<2, Sse2Maths>>(steps, count, block);
}

}  // namespace varnock::fast
