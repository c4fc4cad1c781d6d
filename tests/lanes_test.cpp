// The surface models are written once over a lane policy. Traced with a
// vector policy whose maths functions are the C library's own, lane by lane,
// a block must come out bit for bit as the exact scalar tracer gives it:
// every per-ray decision is a mask, and a lane that is not a number never
// touches its neighbours.
#include <gtest/gtest.h>

#include <cstring>
#include <experimental/simd>

#include "support/random_block.h"
#include "trace/trace_block.h"

namespace varnock {
namespace {

namespace stdx = std::experimental;

template <int N>
struct ElementwiseLanes {
  using D = stdx::fixed_size_simd<double, N>;
  using M = stdx::fixed_size_simd_mask<double, N>;
  static constexpr int width = N;

  template <class F>
  static D each(D x, F f) {
    D r(0.0);
    for (int i = 0; i < N; ++i) r[i] = f(static_cast<double>(x[i]));
    return r;
  }
  static D tan(D x) { return each(x, [](double v) { return std::tan(v); }); }
  static D atan(D x) { return each(x, [](double v) { return std::atan(v); }); }
  static D asin(D x) { return each(x, [](double v) { return std::asin(v); }); }
  static D acos(D x) { return each(x, [](double v) { return std::acos(v); }); }
  static void sincos(D x, D& s, D& c) {
    s = each(x, [](double v) { return std::sin(v); });
    c = each(x, [](double v) { return std::cos(v); });
  }
  static D sqrt(D x) { return stdx::sqrt(x); }
  static D floor(D x) { return stdx::floor(x); }
  static D fabs(D x) { return stdx::abs(x); }

  static D select(M m, D if_true, D if_false) {
    stdx::where(m, if_false) = if_true;
    return if_false;
  }
  static M both(M a, M b) { return a && b; }
  static M either(M a, M b) { return a || b; }
  static M negate(M a) { return !a; }

  static D load(const double* p) { return D(p, stdx::element_aligned); }
  static void store(double* p, D v) { v.copy_to(p, stdx::element_aligned); }
  static M load_mask(const std::uint8_t* p) {
    M m(false);
    for (int i = 0; i < N; ++i) m[i] = p[i] != 0;
    return m;
  }
  static void store_mask(std::uint8_t* p, M m) {
    for (int i = 0; i < N; ++i) p[i] = m[i] ? 1 : 0;
  }
};

// The same bits, or both not a number: the sign and payload of a
// not-a-number differ between the C library's and the processor's square
// root, and no file shows them.
bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

template <class L>
void expect_as_scalar(unsigned seed) {
  varnock_test::RandomBlock scalar = varnock_test::random_block(seed);
  varnock_test::RandomBlock vector = varnock_test::random_block(seed);
  trace_block_exact(scalar.steps.data(), scalar.surfaces(), scalar.block);
  trace_block<L>(vector.steps.data(), vector.surfaces(), vector.block);
  const RayColumns& a = scalar.block.at_surface();
  const RayColumns& b = vector.block.at_surface();
  int finite = 0;
  for (int i = 0; i < BLOCK_RAYS; ++i) {
    EXPECT_TRUE(same_bits(a.X[i], b.X[i]) && same_bits(a.Y[i], b.Y[i]) &&
                same_bits(a.U[i], b.U[i]) && same_bits(a.V[i], b.V[i]) &&
                same_bits(a.Z[i], b.Z[i]))
        << "ray " << i << " with " << L::width << " lanes";
    EXPECT_EQ(scalar.block.ok[i], vector.block.ok[i]) << "ray " << i;
    if (std::isfinite(a.U[i])) ++finite;
  }
  EXPECT_GT(finite, BLOCK_RAYS / 4);
}

TEST(LanePolicy, VectorsOfRaysTraceAsSingleRays) {
  for (unsigned seed : {3u, 11u, 29u}) {
    expect_as_scalar<ElementwiseLanes<2>>(seed);
    expect_as_scalar<ElementwiseLanes<4>>(seed);
    expect_as_scalar<ElementwiseLanes<8>>(seed);
  }
}

}  // namespace
}  // namespace varnock
