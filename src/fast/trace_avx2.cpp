// The fast tracer for processors with AVX2: four rays a vector.
#include <immintrin.h>

#include "fast/fast_block.h"
#include "fast/fast_tracers.h"

namespace varnock::fast {
namespace {

struct Avx2Maths {
  using Raw = __m256d;
  static Raw sqrt(Raw x) { return _mm256_sqrt_pd(x); }
  static Raw floor(Raw x) { return _mm256_floor_pd(x); }
};

}  // namespace

void trace_block_avx2(const SurfaceStep* steps, int count, RayBlock& block) {
  trace_fast_block<VectorLanes<4, Avx2Maths>>(steps, count, block);
}

}  // namespace varnock::fast
