// The fast tracer every x86-64 processor runs: two rays a vector, SLEEF's
// SSE2 functions (without fused multiply-adds).
#include <emmintrin.h>
#include <sleef.h>

#include "fast/fast_tracers.h"
#include "fast/vector_lanes.h"
#include "trace/trace_block.h"

namespace varnock::fast {
namespace {

struct Sse2Maths {
  using Raw = __m128d;
  static Raw tan(Raw x) { return Sleef_tand2_u10sse2(x); }
  static Raw atan(Raw x) { return Sleef_atand2_u10sse2(x); }
  static Raw asin(Raw x) { return Sleef_asind2_u10sse2(x); }
  static Raw acos(Raw x) { return Sleef_acosd2_u10sse2(x); }
  static void sincos(Raw x, Raw& s, Raw& c) {
    const Sleef___m128d_2 r = Sleef_sincosd2_u10sse2(x);
    s = r.x;
    c = r.y;
  }
  static Raw sqrt(Raw x) { return _mm_sqrt_pd(x); }
  // SSE2 has no rounding instruction: SLEEF's floor, exact like any floor.
  static Raw floor(Raw x) { return Sleef_floord2_sse2(x); }
};

}  // namespace

void trace_block_sse2(const SurfaceStep* steps, int count, RayBlock& block) {
  trace_block<VectorLanes<2, Sse2Maths>>(steps, count, block);
}

}  // namespace varnock::fast
