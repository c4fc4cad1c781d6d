#include "fast/fast_tracers.h"

namespace varnock::fast {

bool supported(SimdPath path) {
  __builtin_cpu_init();
  switch (path) {
    case SimdPath::Avx512:
      return __builtin_cpu_supports("avx512f");
    case SimdPath::Avx2:
      return __builtin_cpu_supports("avx2");
    case SimdPath::Auto:
    case SimdPath::Sse2:
      return true;
  }
  return false;
}

SimdPath best_path() {
  if (supported(SimdPath::Avx512)) return SimdPath::Avx512;
  if (supported(SimdPath::Avx2)) return SimdPath::Avx2;
  return SimdPath::Sse2;
}

BlockTracer tracer(SimdPath path) {
  if (path == SimdPath::Auto) path = best_path();
  switch (path) {
    case SimdPath::Avx512: return BlockTracer{trace_block_avx512, 8, "avx512"};
    case SimdPath::Avx2: return BlockTracer{trace_block_avx2, 4, "avx2"};
    default: return BlockTracer{trace_block_sse2, 2, "sse2"};
  }
}

bool is_fast(const BlockTracer& t) {
  return t.trace == trace_block_avx512 || t.trace == trace_block_avx2 ||
         t.trace == trace_block_sse2;
}

}  // namespace varnock::fast
