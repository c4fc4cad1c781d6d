// The fast tracer for processors with AVX-512: eight rays a vector.
#include <immintrin.h>

#include "fast/fast_block.h"
#include "fast/fast_tracers.h"

namespace varnock::fast {
namespace {

struct Avx512Maths {
  using Raw = __m512d;
  // All lanes taken (mask 0xFF), so the pass-through operand is never used.
  static Raw sqrt(Raw x) { return _mm512_mask_sqrt_pd(x, static_cast<__mmask8>(0xFF), x); }
  static Raw floor(Raw x) {
    return _mm512_mask_roundscale_pd(x, static_cast<__mmask8>(0xFF), x,
                                     _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  }
};

}  // namespace

void trace_block_avx512(const SurfaceStep* steps, int count, RayBlock& block) {
  trace_fast_block<VectorLanes<8, Avx512Maths>>(steps, count, block);
}

}  // namespace varnock::fast
