// The fast tracer for processors with AVX-512: eight rays a vector, SLEEF's
// AVX-512 functions (built with fused multiply-adds inside SLEEF).
#include <immintrin.h>
#include <sleef.h>

#include "fast/fast_tracers.h"
#include "fast/vector_lanes.h"
#include "trace/trace_block.h"

namespace varnock::fast {
namespace {

struct Avx512Maths {
  using Raw = __m512d;
  static Raw tan(Raw x) { return Sleef_tand8_u10avx512f(x); }
  static Raw atan(Raw x) { return Sleef_atand8_u10avx512f(x); }
  static Raw asin(Raw x) { return Sleef_asind8_u10avx512f(x); }
  static Raw acos(Raw x) { return Sleef_acosd8_u10avx512f(x); }
  static void sincos(Raw x, Raw& s, Raw& c) {
    const Sleef___m512d_2 r = Sleef_sincosd8_u10avx512f(x);
    s = r.x;
    c = r.y;
  }
  // All lanes taken (mask 0xFF), so the pass-through operand is never used.
  static Raw sqrt(Raw x) { return _mm512_mask_sqrt_pd(x, static_cast<__mmask8>(0xFF), x); }
  static Raw floor(Raw x) {
    return _mm512_mask_roundscale_pd(x, static_cast<__mmask8>(0xFF), x,
                                     _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  }
};

}  // namespace

void trace_block_avx512(const SurfaceStep* steps, int count, RayBlock& block) {
  trace_block<VectorLanes<8, Avx512Maths>>(steps, count, block);
}

}  // namespace varnock::fast
