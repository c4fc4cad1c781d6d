// The fast mode as the library API offers it: built on x86-64, chosen per
// run.
#include "api/simd_choice.h"

#if defined(VARNOCK_HAVE_FAST)
#include "fast/fast_tracers.h"
#endif

namespace varnock {

const char* simd_path_name(SimdPath path) {
  switch (path) {
    case SimdPath::Auto: return "auto";
    case SimdPath::Avx512: return "avx512";
    case SimdPath::Avx2: return "avx2";
    case SimdPath::Sse2: return "sse2";
  }
  return "?";
}

bool simd_path_supported(SimdPath path) {
#if defined(VARNOCK_HAVE_FAST)
  return fast::supported(path);
#else
  (void)path;
  return false;
#endif
}

std::optional<BlockTracer> block_tracer_for(const RunOptions& options) {
  if (!options.fast) return BlockTracer{};
  if (!simd_path_supported(options.simd)) return std::nullopt;
#if defined(VARNOCK_HAVE_FAST)
  return fast::tracer(options.simd);
#else
  return std::nullopt;
#endif
}

}  // namespace varnock
