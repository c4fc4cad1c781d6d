// The fast tracers against the exact one. Every instruction-set path gives
// the same bits as one ray at a time through the same code; each lane is
// its own ray, so a not-a-number stays in its lane; and on rays that probe
// every surface model's special cases (backward rays and the PI/2 border,
// grazing and total-reflection borders, lenslet and stop borders, zero
// pitches, curvatures and indices that are 0, negative or not numbers) the
// fast step gives exact mode's result to rounding: the same flags and
// cells, the same not-a-numbers, positions and angles within 1e-9.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fast/fast_block.h"
#include "fast/fast_tracers.h"
#include "support/random_block.h"
#include "trace/direction_class.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double PI = RUN_PI;

// The fast models one ray at a time, with the C library's square root:
// what every vector path must reproduce bit for bit.
struct ScalarMaths {
  using Raw = fast::Raw<1>::D;
  static Raw sqrt(Raw x) { return Raw{std::sqrt(x[0])}; }
  static Raw floor(Raw x) { return Raw{std::floor(x[0])}; }
};
void trace_block_one_by_one(const SurfaceStep* steps, int count, RayBlock& block) {
  fast::trace_fast_block<fast::VectorLanes<1, ScalarMaths>>(steps, count, block);
}

std::vector<BlockTracer> fast_paths() {
  std::vector<BlockTracer> paths;
  for (SimdPath path : {SimdPath::Avx512, SimdPath::Avx2, SimdPath::Sse2}) {
    if (fast::supported(path)) paths.push_back(fast::tracer(path));
  }
  return paths;
}

bool close(double exact, double fast) {
  if (std::isnan(exact) || std::isnan(fast)) return std::isnan(exact) && std::isnan(fast);
  if (std::isinf(exact) || std::isinf(fast)) return exact == fast;
  return std::fabs(exact - fast) <= 1e-9 * std::max(1.0, std::fabs(exact));
}

// The same bits, or both not a number (no file shows a not-a-number's sign).
bool same_bits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// One surface of a system built by hand: its vertex lies TH after the one
// before (the first after the source plane at z = ZS0).
struct Surface {
  int type = 1;
  double CV = 0, PA = 0, PB = 0, DX = 0, DY = 0;
  double TH = 10;      // from this vertex to the next
  double n_after = 1;  // index of the medium after it
};

struct System {
  std::string name;
  double ZS0 = 10, n_source = 1;
  std::vector<Surface> surfaces;
  std::vector<RayPoint> rays;  // at the source plane, z = 0

  SurfaceSteps steps() const {
    SurfaceTable table;
    SurfaceArray ZS{};
    table.RN[1][0] = n_source;
    double z = ZS0;
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
      const Surface& s = surfaces[i];
      const std::size_t k = i + 1;
      table.STYPE[k] = s.type;
      table.CV[k] = s.CV;
      table.PA[k] = s.PA;
      table.PB[k] = s.PB;
      table.DX[k] = s.DX;
      table.DY[k] = s.DY;
      table.RN[1][k] = s.n_after;
      ZS[i] = z;
      z += s.TH;
    }
    SurfaceSteps steps;
    prepare_surface_steps(table, static_cast<int>(surfaces.size()), ZS, 1, PI, steps);
    return steps;
  }
};

// The rays of a system through a block tracer: final positions, angles,
// flags and cells, lane by lane.
struct Traced {
  RayColumns at;
  std::uint8_t ok[BLOCK_RAYS];
  double cells[4][BLOCK_RAYS];
};

Traced trace_with(const BlockTracer& tracer, const System& sys) {
  const SurfaceSteps steps = sys.steps();
  auto block = std::make_unique<RayBlock>();
  RayBlock& b = *block;
  b.count = static_cast<int>(sys.rays.size());
  b.padded = (b.count + tracer.width - 1) / tracer.width * tracer.width;
  for (int i = 0; i < b.padded; ++i) {
    varnock_test::start_ray(b, i, sys.rays[static_cast<std::size_t>(i < b.count ? i : 0)]);
  }
  b.DXY = 0.25;
  b.DUV = 0.01;
  tracer.trace(steps.data(), static_cast<int>(steps.size()), b);
  Traced t;
  t.at = b.at_surface();
  std::memcpy(t.ok, b.ok, sizeof t.ok);
  std::memcpy(t.cells[0], b.cell_x, sizeof b.cell_x);
  std::memcpy(t.cells[1], b.cell_y, sizeof b.cell_y);
  std::memcpy(t.cells[2], b.cell_u, sizeof b.cell_u);
  std::memcpy(t.cells[3], b.cell_v, sizeof b.cell_v);
  return t;
}

void expect_as_exact(const System& sys) {
  const Traced exact = trace_with(BlockTracer{}, sys);
  for (const BlockTracer& path : fast_paths()) {
    const Traced fast = trace_with(path, sys);
    for (std::size_t i = 0; i < sys.rays.size(); ++i) {
      const double e[5] = {exact.at.X[i], exact.at.Y[i], exact.at.Z[i], exact.at.U[i], exact.at.V[i]};
      const double f[5] = {fast.at.X[i], fast.at.Y[i], fast.at.Z[i], fast.at.U[i], fast.at.V[i]};
      for (int k = 0; k < 5; ++k) {
        EXPECT_TRUE(close(e[k], f[k]))
            << sys.name << ", ray " << i << " (" << path.simd << "): " << "XYZUV"[k] << " exact "
            << e[k] << ", fast " << f[k];
      }
      EXPECT_EQ(exact.ok[i], fast.ok[i]) << sys.name << ", ray " << i << " (" << path.simd << ")";
      for (int c = 0; c < 4; ++c) {
        EXPECT_TRUE(same_bits(exact.cells[c][i], fast.cells[c][i]))
            << sys.name << ", ray " << i << " (" << path.simd << "): cell " << c << " exact "
            << exact.cells[c][i] << ", fast " << fast.cells[c][i];
      }
    }
  }
}

RayPoint ray(double x, double y, double u, double v = 0) { return RayPoint{x, y, 0, u, v}; }

// Rays of every kind for the refracting models: axial, parallel, skew,
// missing, at infinity, not a number, and a backward one (every model but
// the paraboloid and the ellipsoid takes it as travelling towards +z).
std::vector<RayPoint> assorted_rays() {
  return {ray(0, 0, 0),    ray(2, 0, 0),       ray(0, 1.5, 0, 0.05), ray(-1, 1, 0.2, -0.1),
          ray(3, 0, 0),    ray(0, 0, 0.6, 0.4), ray(INF, 0, 0),      ray(0, 0, NaN),
          ray(1, -2, 2.5), ray(0.5, 0.5, -0.3, 0.3)};
}

TEST(FastMode, RefractionMatchesExactModeAtItsBorders) {
  for (double cv : {0.0, 0.1, -0.1, 0.5, NaN}) {
    System s{"sphere CV " + std::to_string(cv), 5, 1, {{1, cv, 0, 0, 0, 0, 10, 1.5}}, assorted_rays()};
    expect_as_exact(s);
  }
  // From glass into air through a plane: below, near and beyond the
  // critical angle asin(1/1.5) = 0.7297.
  const double critical = std::asin(1 / 1.5);
  expect_as_exact({"total reflection", 5, 1.5, {{1, 0, 0, 0, 0, 0, 10, 1}},
                   {ray(0, 0, 0.7), ray(0, 0, critical - 1e-6), ray(0, 0, critical + 1e-6),
                    ray(0, 0, 0.8), ray(0, 0, 0.5, 0.6)}});
  // Indices that are negative or 0, and grazing incidence with an index of
  // -1 after (the half-angle quotient of the angle form is 0/0 there).
  for (double n_source : {1.0, -1.0}) {
    for (double n_after : {1.5, -1.5, -1.0, 0.0}) {
      expect_as_exact({"indices " + std::to_string(n_source) + " " + std::to_string(n_after), 5,
                       n_source, {{1, 0.05, 0, 0, 0, 0, 10, n_after}}, assorted_rays()});
    }
  }
  expect_as_exact({"grazing, index -1", 5, 1, {{1, 0, 0, 0, 0, 0, 10, -1}},
                   {ray(0, 0, PI / 2 - 1e-9), ray(0, 0, 1.5)}});
  expect_as_exact({"cylinder", 5, 1, {{4, 0.1, 0, 0, 3, 0.5, 10, 1.5}}, assorted_rays()});
  expect_as_exact({"flat cylinder", 5, 1, {{4, 0, 0, 0, 0, 0, 10, 1.5}}, assorted_rays()});
}

TEST(FastMode, LensletsAndStopsMatchExactModeOnTheirBorders) {
  // Rays crossing the vertex plane (z = 0 here) on lenslet borders and on
  // the rim of the stop, and pitches of 0.
  std::vector<RayPoint> borders;
  for (double c : {1.0, -1.0, 2.9, -3.0, 2.0, 0.0, -0.1, 3.0, 4.0, 3.999}) {
    borders.push_back(ray(c, c, 0));
    borders.push_back(ray(3, c, 0));
  }
  for (double pa : {2.0, -2.0, 0.0}) {
    expect_as_exact({"cylindrical lenslets " + std::to_string(pa), 0, 1,
                     {{5, 0.2, pa, 0, 7, 7, 10, 1.5}}, borders});
    expect_as_exact({"lenslets " + std::to_string(pa), 0, 1, {{7, 0.2, pa, 2, 1, 1, 10, 1.5}},
                     borders});
    expect_as_exact({"flat lenslets " + std::to_string(pa), 0, 1, {{7, 0, pa, pa, 1, 0, 10, 1.5}},
                     borders});
  }
  for (double radius : {5.0, -3.0, 0.0}) {
    expect_as_exact({"stop " + std::to_string(radius), 0, 1,
                     {{6, 0.1, radius, 0, 10, 0, 10, 1.5}, {6, 0, radius, 0, 0, 0, 10, 1.5}},
                     borders});
  }
}

TEST(FastMode, MirrorsMatchExactModeForwardAndBackward) {
  std::vector<RayPoint> rays = assorted_rays();
  // Backward rays of every class border: exactly PI/2 (backward), just below
  // it, beyond it, half a turn, and a fan's backward cone.
  for (double u : {PI / 2, PI / 2 - 1e-12, 2.0, PI, -PI, 3 * PI / 4, -2.2}) rays.push_back(ray(0.3, -0.2, u, 0.1));
  rays.push_back(ray(0, 0, PI, PI));  // along the axis, backward
  for (double cv : {0.0, -0.05, 0.05, NaN}) {
    expect_as_exact({"spherical mirror " + std::to_string(cv), 5, 1, {{2, cv, 0, 0, 1, -1, 10, 1}}, rays});
    expect_as_exact({"paraboloid " + std::to_string(cv), 10, 1, {{3, cv, 0, 0, 0.5, 0, 10, 1}}, rays});
  }
  for (double f1 : {20.0, 0.0, -20.0, NaN}) {
    for (double f2 : {30.0, 20.0, 0.0}) {
      expect_as_exact({"ellipsoid " + std::to_string(f1) + " " + std::to_string(f2), 25, 1,
                       {{8, f1, f2, 0, 0.5, -0.5, 10, 1}}, rays});
    }
  }
  for (double tilt : {0.0, 0.15, -0.1, 0.7, 1.2}) {
    expect_as_exact({"tilted mirror " + std::to_string(tilt), 100, 1,
                     {{9, 0.01, tilt, -0.1, 5, 5, 10, 1}, {9, -0.02, tilt, tilt, 0, 0, 10, 1}}, rays});
  }
  expect_as_exact({"flat tilted mirror", 100, 1, {{9, 0, 0.1, 0, 0, 0, 10, 1}}, rays});
}

TEST(FastMode, TheDirectionClassIsCarriedToTheMirrorsThatReadIt) {
  // A tilted mirror turns rays across PI/2: the paraboloid and the
  // ellipsoid after it take them as backward rays, as exact mode does.
  std::vector<RayPoint> rays;
  for (double u = -0.6; u <= 0.6; u += 0.05) rays.push_back(ray(0.1, 0.2, u, 0.4 * u));
  expect_as_exact({"tilt into a paraboloid", 50, 1,
                   {{9, -0.01, 0.75, 0.3, 0, 0, 20, 1}, {3, 0.05, 0, 0, 0, 0, 10, 1}}, rays});
  expect_as_exact({"tilt into an ellipsoid", 50, 1,
                   {{9, 0.01, -0.78, 0, 0, 0, 30, 1}, {8, 20, 30, 0, 0, 0, 10, 1}}, rays});
  expect_as_exact({"lens, paraboloid, ellipsoid", 50, 1,
                   {{1, 0.05, 0, 0, 0, 0, 5, 1.5}, {3, 0.05, 0, 0, 0, 0, 10, 1},
                    {8, 10, 15, 0, 0, 0, 10, 1}, {9, 0.01, 0.8, 0, 0, 0, 5, 1}}, rays});
  expect_as_exact({"no surface", 0, 1, {}, assorted_rays()});
}

TEST(FastMode, EveryPathTracesEachLaneAsItsOwnRayWithTheSameBits) {
  const std::vector<BlockTracer> paths = fast_paths();
  ASSERT_GE(paths.size(), 1u);  // SSE2 runs on every x86-64
  for (unsigned seed : {3u, 11u, 29u}) {
    varnock_test::RandomBlock exact = varnock_test::random_block(seed);
    varnock_test::RandomBlock one = varnock_test::random_block(seed);
    exact.block.DXY = one.block.DXY = 0.5;
    exact.block.DUV = one.block.DUV = 0.01;
    trace_block_exact(exact.steps.data(), exact.surfaces(), exact.block);
    trace_block_one_by_one(one.steps.data(), one.surfaces(), one.block);
    const RayColumns& a = exact.block.at_surface();
    const RayColumns& b = one.block.at_surface();
    int finite = 0;
    for (int i = 0; i < BLOCK_RAYS; ++i) {
      EXPECT_TRUE(close(a.X[i], b.X[i]) && close(a.Y[i], b.Y[i]) && close(a.Z[i], b.Z[i]) &&
                  close(a.U[i], b.U[i]) && close(a.V[i], b.V[i]))
          << "seed " << seed << " ray " << i << ": U " << a.U[i] << " / " << b.U[i];
      EXPECT_EQ(exact.block.ok[i], one.block.ok[i]) << "ray " << i;
      if (std::isfinite(a.U[i])) ++finite;
    }
    EXPECT_GT(finite, BLOCK_RAYS / 4);
    for (const BlockTracer& path : paths) {
      varnock_test::RandomBlock vector = varnock_test::random_block(seed);
      vector.block.DXY = 0.5;
      vector.block.DUV = 0.01;
      path.trace(vector.steps.data(), vector.surfaces(), vector.block);
      const RayColumns& c = vector.block.at_surface();
      for (int i = 0; i < BLOCK_RAYS; ++i) {
        EXPECT_TRUE(same_bits(b.X[i], c.X[i]) && same_bits(b.Y[i], c.Y[i]) &&
                    same_bits(b.Z[i], c.Z[i]) && same_bits(b.U[i], c.U[i]) &&
                    same_bits(b.V[i], c.V[i]) && same_bits(one.block.cell_u[i], vector.block.cell_u[i]))
            << path.simd << " seed " << seed << " ray " << i;
        EXPECT_EQ(one.block.ok[i], vector.block.ok[i]) << path.simd << " ray " << i;
      }
    }
  }
}

TEST(FastMode, TangentWindowsClassRaysAsTheirAnglesDo) {
  for (double offset : {0.0, 0.3, -0.3, 1.4, -1.4, 3.0, 2 * PI}) {
    const TangentWindow w = forward_window(PI, offset);
    auto backward = [&](double q) { return std::fabs(std::atan(q) + offset) >= PI / 2; };
    // Each finite edge is the first backward tangent past the window.
    auto inside = [&](double q) { return w.low < q && q < w.high; };
    if (std::isfinite(w.high)) {
      EXPECT_TRUE(backward(w.high)) << offset;
      const double below = std::nextafter(w.high, -INF);
      if (inside(below)) {
        EXPECT_FALSE(backward(below)) << offset;
      }
    }
    if (std::isfinite(w.low)) {
      EXPECT_TRUE(backward(w.low)) << offset;
      const double above = std::nextafter(w.low, INF);
      if (inside(above)) {
        EXPECT_FALSE(backward(above)) << offset;
      }
    }
    for (double q : {-1e300, -1e15, -3.0, -0.5, 0.0, 0.5, 3.0, 1e15, 1e300}) {
      EXPECT_EQ(backward(q), !inside(q)) << "offset " << offset << ", q " << q;
    }
  }
  // Without an offset the border is the tangent of PI/2, some 5.8e14.
  const TangentWindow plain = forward_window(PI, 0);
  EXPECT_GT(plain.high, 5e14);
  EXPECT_LT(plain.high, 7e14);
  EXPECT_EQ(plain.low, -plain.high);
}

TEST(FastMode, ThePathsAreChosenByWhatTheProcessorHas) {
  EXPECT_TRUE(fast::supported(SimdPath::Sse2));
  EXPECT_TRUE(fast::supported(SimdPath::Auto));
  const SimdPath best = fast::best_path();
  EXPECT_TRUE(fast::supported(best));
  EXPECT_STREQ(fast::tracer(SimdPath::Auto).simd, fast::tracer(best).simd);
  EXPECT_EQ(fast::tracer(SimdPath::Sse2).width, 2);
  EXPECT_TRUE(fast::is_fast(fast::tracer(best)));
  EXPECT_FALSE(fast::is_fast(BlockTracer{}));
  if (fast::supported(SimdPath::Avx512)) {
    EXPECT_EQ(best, SimdPath::Avx512);
  }
}

}  // namespace
}  // namespace varnock
