// The paraboloidal mirror (type 3): the focus sends every ray out parallel
// to the axis, forward and backward alike, and a parallel ray comes back
// through the focus.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/mirror_step.h"
#include "trace/surface_geometry.h"
#include "trace/surface_models.h"

namespace varnock {
namespace {

using varnock_test::angles_of_direction;
using varnock_test::MirrorStep;
using varnock_test::NOT_A_NUMBER;
using varnock_test::x_at;

const double ROOT2 = std::sqrt(2.0);

TEST(ParaboloidalMirror, ForwardRayFromTheFocus) {
  // CV = 0.05: f = 10, vertex at z = 10, focus at the origin.
  MirrorStep step(3, 0.05, 10);
  const varnock_test::SteppedRay& r = step.from(0, 0, 0, RUN_PI / 4, 0).run();
  EXPECT_NEAR(r.X[1], 20 - 20 * ROOT2, 1e-12);
  EXPECT_NEAR(r.Z[1], 40 - 20 * ROOT2, 1e-12);  // hit at 20 sqrt 2 - 20, mirrored
  EXPECT_NEAR(r.U[1], 0, 1e-14);
  EXPECT_NEAR(r.V[1], 0, 1e-14);
  EXPECT_GT(step.ray.sc.EZ, 0);
}

TEST(ParaboloidalMirror, BackwardRayFromTheFocus) {
  MirrorStep step(3, 0.05, 10);
  const varnock_test::SteppedRay& r = step.from(0, 0, 0, 3 * RUN_PI / 4, 0).run();
  EXPECT_NEAR(r.X[1], -20 - 20 * ROOT2, 1e-12);
  EXPECT_NEAR(r.Z[1], 40 + 20 * ROOT2, 1e-12);  // hit at -20 - 20 sqrt 2, mirrored
  EXPECT_NEAR(r.U[1], 0, 1e-14);
  EXPECT_NEAR(r.V[1], 0, 1e-14);
  EXPECT_LT(step.ray.sc.EZ, 0);  // its true direction of travel
}

TEST(ParaboloidalMirror, EveryRayFromTheFocusLeavesParallel) {
  // A decentred mirror with CV < 0: only the magnitude counts, f = 12.5.
  const double dx = 2, dy = -1, zs = 30, f = 12.5;
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> polar(0.05, 3.09), azimuth(0, 6.28);
  int backward = 0;
  for (int i = 0; i < 500; ++i) {
    const double t = polar(rng), p = azimuth(rng);
    const auto [u, v] =
        angles_of_direction(std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t));
    if (!travels_forward<ScalarLanes>(RUN_PI, u, v)) ++backward;
    MirrorStep step(3, -0.04, zs);
    step.decentre(dx, dy);
    const varnock_test::SteppedRay& r = step.from(dx, dy, zs - f, u, v).run();
    EXPECT_NEAR(r.U[1], 0, 1e-11) << t << " " << p;
    EXPECT_NEAR(r.V[1], 0, 1e-11) << t << " " << p;
    // The hit lies on the paraboloid (X, Y are the hit's; Z is mirrored).
    const double hx = r.X[1] - dx, hy = r.Y[1] - dy, hz = 2 * zs - r.Z[1];
    EXPECT_NEAR(hx * hx + hy * hy, 4 * f * (zs - hz), 1e-9 * (1 + hx * hx + hy * hy));
  }
  EXPECT_GT(backward, 100);
}

TEST(ParaboloidalMirror, ParallelRayComesBackThroughTheFocus) {
  MirrorStep step(3, 0.05, 10);
  const varnock_test::SteppedRay& r = step.from(1, 0, 0, 0, 0).run();
  EXPECT_EQ(step.ray.sc.QA, 0);  // the linear equation's one root
  EXPECT_NEAR(r.Z[1], 10.025, 1e-13);
  EXPECT_EQ(r.X[1], 1);
  EXPECT_NEAR(r.U[1], std::atan(40.0 / 399.0), 1e-14);
  EXPECT_EQ(r.V[1], 0);

  // Off a decentred axis, the unfolded ray crosses the axis at ZS + f.
  MirrorStep moved(3, 0.05, 10);
  moved.decentre(-1, 2);
  const varnock_test::SteppedRay& m = moved.from(2, 0, 0, 0, 0).run();
  EXPECT_NEAR(x_at(m, 20), -1, 1e-12);
  EXPECT_NEAR(varnock_test::y_at(m, 20), 2, 1e-12);
}

TEST(ParaboloidalMirror, SignOfTheCurvatureDoesNotMatter) {
  for (double u : {0.3, 2.5}) {
    MirrorStep plus(3, 0.05, 10), minus(3, -0.05, 10);
    const varnock_test::SteppedRay& a = plus.from(0.7, -1.2, 1, u, -0.2).run();
    const varnock_test::SteppedRay& b = minus.from(0.7, -1.2, 1, u, -0.2).run();
    EXPECT_EQ(a.X[1], b.X[1]);
    EXPECT_EQ(a.Y[1], b.Y[1]);
    EXPECT_EQ(a.Z[1], b.Z[1]);
    EXPECT_EQ(a.U[1], b.U[1]);
    EXPECT_EQ(a.V[1], b.V[1]);
  }
}

TEST(ParaboloidalMirror, ZeroCurvatureIsAPlaneMirror) {
  MirrorStep step(3, 0, 6);
  step.decentre(1, 1);
  step.ray.sc.QA = 13;
  const varnock_test::SteppedRay& r = step.from(0.5, 0.25, 0, 0.3, -0.2).run();
  EXPECT_EQ(r.Z[1], 6);
  EXPECT_EQ(r.X[1], 0.5 - std::tan(0.3) * 6);
  EXPECT_EQ(r.Y[1], 0.25 - std::tan(-0.2) * 6);
  EXPECT_NEAR(r.U[1], 0.3, 1e-15);
  EXPECT_NEAR(r.V[1], -0.2, 1e-15);
  EXPECT_EQ(step.ray.sc.NX, 0);
  EXPECT_EQ(step.ray.sc.NZ, 1);
  EXPECT_EQ(step.ray.sc.QA, 13);  // no quadratic for a plane
}

TEST(ParaboloidalMirror, DirectionClassUsesTheRunsHalfPi) {
  struct Case {
    double u, v;
    bool forward;
  };
  const double half = RUN_PI / 2;
  for (const Case& c : {Case{half, 0, false}, Case{-half, 0, false}, Case{0, half, false},
                        Case{2, 0, false}, Case{NOT_A_NUMBER, 0, false},
                        Case{std::nextafter(half, 0.0), 0, true}, Case{0.3, -1.5, true}}) {
    EXPECT_EQ(travels_forward<ScalarLanes>(RUN_PI, c.u, c.v), c.forward) << c.u << " " << c.v;
    MirrorStep step(3, 0.05, 10);
    step.from(0.1, 0.1, 0, c.u, c.v).run();
    // A backward ray's incoming direction is reversed.
    if (c.forward) {
      EXPECT_GT(step.ray.sc.EZ, 0) << c.u;
    } else if (!std::isnan(c.u)) {
      EXPECT_LT(step.ray.sc.EZ, 0) << c.u;
    }
  }
}

TEST(ParaboloidalMirror, AMissOrANotANumberAngleGivesNoRay) {
  // A steep ray in the plane y = 30, well outside the bowl: its line never
  // meets the paraboloid (x^2 + 900 = 40 (10 - z) has no root).
  MirrorStep miss(3, 0.05, 10);
  const varnock_test::SteppedRay& a = miss.from(0, 30, 0, 1.2, 0).run();
  EXPECT_TRUE(std::isnan(a.Z[1]));
  EXPECT_TRUE(std::isnan(a.X[1]));
  EXPECT_TRUE(std::isnan(a.U[1]));
  EXPECT_TRUE(std::isnan(a.V[1]));

  MirrorStep lost(3, 0.05, 10);
  const varnock_test::SteppedRay& b = lost.from(0, 0, 0, NOT_A_NUMBER, 0.1).run();
  EXPECT_TRUE(std::isnan(b.U[1]));
  EXPECT_TRUE(std::isnan(b.V[1]));
}

TEST(ParaboloidalMirror, ReadsNoIndexAndLeavesDcosDsinAndTheRayFlagAlone) {
  MirrorStep step(3, 0.05, 10, NOT_A_NUMBER, NOT_A_NUMBER);
  step.ray.RAYOK = 0;
  step.ray.sc.DCOS = 11;
  step.ray.sc.DSIN = 12;
  const varnock_test::SteppedRay& r = step.from(1, 0.5, 0, 0.1, 2.9).run();
  EXPECT_TRUE(std::isfinite(r.U[1]));
  EXPECT_TRUE(std::isfinite(r.V[1]));
  EXPECT_EQ(r.RAYOK, 0);
  EXPECT_EQ(r.sc.DCOS, 11);
  EXPECT_EQ(r.sc.DSIN, 12);
}

}  // namespace
}  // namespace varnock
