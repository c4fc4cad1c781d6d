// The fast tracers against the exact one, on blocks that mix good rays with
// rays that are lost, not numbers or infinite from the start: each lane is
// its own ray, so a not-a-number stays in its lane, and the good rays come
// out within a few units in the last place of the exact ones.
#include <gtest/gtest.h>

#include <cmath>

#include "fast/fast_tracers.h"
#include "support/random_block.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

bool close(double exact, double fast) {
  if (std::isnan(exact) || std::isnan(fast)) return std::isnan(exact) && std::isnan(fast);
  if (std::isinf(exact) || std::isinf(fast)) return exact == fast;
  return std::fabs(exact - fast) <= 1e-9 * std::max(1.0, std::fabs(exact));
}

TEST(FastMode, EveryPathTracesEachLaneAsItsOwnRay) {
  int paths = 0;
  for (SimdPath path : {SimdPath::Avx512, SimdPath::Avx2, SimdPath::Sse2}) {
    if (!fast::supported(path)) continue;
    ++paths;
    const BlockTracer tracer = fast::tracer(path);
    for (unsigned seed : {3u, 11u, 29u}) {
      varnock_test::RandomBlock exact = varnock_test::random_block(seed);
      varnock_test::RandomBlock fast = varnock_test::random_block(seed);
      exact.block.DXY = fast.block.DXY = 0.5;
      exact.block.DUV = fast.block.DUV = 0.01;
      trace_block_exact(exact.steps.data(), exact.surfaces(), exact.block);
      tracer.trace(fast.steps.data(), fast.surfaces(), fast.block);
      const RayColumns& a = exact.block.at_surface();
      const RayColumns& b = fast.block.at_surface();
      int finite = 0;
      for (int i = 0; i < BLOCK_RAYS; ++i) {
        EXPECT_TRUE(close(a.X[i], b.X[i]) && close(a.Y[i], b.Y[i]) && close(a.Z[i], b.Z[i]) &&
                    close(a.U[i], b.U[i]) && close(a.V[i], b.V[i]))
            << simd_path_name(path) << " seed " << seed << " ray " << i << ": U " << a.U[i]
            << " / " << b.U[i];
        EXPECT_EQ(exact.block.ok[i], fast.block.ok[i]) << simd_path_name(path) << " ray " << i;
        if (std::isfinite(a.U[i])) ++finite;
      }
      EXPECT_GT(finite, BLOCK_RAYS / 4);
    }
  }
  EXPECT_GE(paths, 1);  // SSE2 runs on every x86-64
}

TEST(FastMode, ThePathsAreChosenByWhatTheProcessorHas) {
  EXPECT_TRUE(fast::supported(SimdPath::Sse2));
  EXPECT_TRUE(fast::supported(SimdPath::Auto));
  const SimdPath best = fast::best_path();
  EXPECT_TRUE(fast::supported(best));
  EXPECT_STREQ(fast::tracer(SimdPath::Auto).simd, fast::tracer(best).simd);
  EXPECT_EQ(fast::tracer(SimdPath::Sse2).width, 2);
  if (fast::supported(SimdPath::Avx512)) {
    EXPECT_EQ(best, SimdPath::Avx512);
  }
}

}  // namespace
}  // namespace varnock
