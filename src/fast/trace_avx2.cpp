// The fast tracer for processors with AVX2 and FMA: four rays a vector,
// SLEEF's AVX2 functions (built with fused multiply-adds inside SLEEF).
#include <immintrin.h>
#include <sleef.h>

#include "fast/fast_tracers.h"
#include "fast/vector_lanes.h"
#include "trace/trace_block.h"

namespace varnock::fast {
namespace {

struct Avx2Maths {
  using Raw = __m256d;
  static Raw tan(Raw x) { return Sleef_tand4_u10avx2(x); }
  static Raw atan(Raw x) { return Sleef_atand4_u10avx2(x); }
  static Raw asin(Raw x) { return Sleef_asind4_u10avx2(x); }
  static Raw acos(Raw x) { return Sleef_acosd4_u10avx2(x); }
  static void sincos(Raw x, Raw& s, Raw& c) {
    const Sleef___m256d_2 r = Sleef_sincosd4_u10avx2(x);
    s = r.x;
    c = r.y;
  }
  static Raw sqrt(Raw x) { return _mm256_sqrt_pd(x); }
  static Raw floor(Raw x) { return _mm256_floor_pd(x); }
};

}  // namespace

void trace_block_avx2(const SurfaceStep* steps, int count, RayBlock& block) {
  trace_block<VectorLanes<4, Avx2Maths>>(steps, count, block);
}

}  // namespace varnock::fast
