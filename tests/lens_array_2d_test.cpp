// The two-dimensional lens array: lenslet choice on a grid anchored at the
// surface's decentres, the decentres put back after every step, and a
// lenslet that acts exactly as a sphere centred on it.
#include <gtest/gtest.h>

#include <cmath>

#include "support/surface_step.h"
#include "trace/surface_models.h"

namespace varnock {
namespace {

using varnock_test::same_ray_at_1;
using varnock_test::SingleStep;

TEST(LensArray2D, IsTheTracersTypeSeven) { EXPECT_TRUE(varnock_test::traces_with(7, surf7<ScalarLanes>)); }

// A parallel ray at (x, y) through the array with decentres (dx, dy) and
// pitches pa, pb must be refracted as by the sphere centred at (cx, cy).
void expect_lenslet(double dx, double dy, double pa, double pb, double x, double y, double cx,
                    double cy) {
  SingleStep array(0.3, 4), sphere(0.3, 4);
  const varnock_test::SteppedRay& a = array.params(pa, pb).decentre(dx, dy).from(x, y, 0, 0, 0).run(7);
  const varnock_test::SteppedRay& b = sphere.decentre(cx, cy).from(x, y, 0, 0, 0).run(1);
  EXPECT_TRUE(same_ray_at_1(a, b)) << "ray (" << x << ", " << y << ") expected lenslet (" << cx
                                   << ", " << cy << ")";
  EXPECT_TRUE(std::isfinite(a.U[1]) && std::isfinite(a.V[1]));
}

TEST(LensArray2D, BorderRaysGoToTheLensletWithTheLargerIndex) {
  // Grid anchored at dx = 1 with pitch 2: lenslets at x = ..., -1, 1, 3, ...
  expect_lenslet(1, 0, 2, 2, 2, 0, 3, 0);  // border between 1 and 3
  expect_lenslet(1, 0, 2, 2, 0, 0, 1, 0);  // border between -1 and 1
  expect_lenslet(1, 0, 2, 2, -0.1, 0, -1, 0);
  expect_lenslet(1, 0, 2, 2, 2.9, 0.2, 3, 0);
  // In y, anchored at dy = -1 with pitch 0.5: lenslets at ..., -1.5, -1, -0.5, ...
  expect_lenslet(0, -1, 2, 0.5, 0.1, -0.75, 0, -0.5);
  expect_lenslet(0, -1, 2, 0.5, 0.1, -1.3, 0, -1.5);
  // A negative pitch takes the lenslet at smaller y on a border.
  expect_lenslet(0, 0, 2, -2, 0.1, 1, 0, 0);
  expect_lenslet(0, 0, 2, -2, 0.1, -1, 0, -2);
}

TEST(LensArray2D, ChoosesWhereTheRayCrossesTheVertexPlane) {
  // From (0, 0, 0) at U = -0.3, V = 0.2 the ray crosses z = 4 at
  // (4 tan 0.3, -4 tan 0.2) = (1.24, -0.81): lenslet (1, -1) of pitch 1.
  SingleStep array(0.3, 4), sphere(0.3, 4);
  const varnock_test::SteppedRay& a = array.params(1, 1).from(0, 0, 0, -0.3, 0.2).run(7);
  EXPECT_TRUE(same_ray_at_1(a, sphere.decentre(1, -1).from(0, 0, 0, -0.3, 0.2).run(1)));
  EXPECT_TRUE(std::isfinite(a.U[1]) && std::isfinite(a.V[1]));
}

TEST(LensArray2D, TheGridIsAnchoredAtTheSheetDecentres) {
  // Decentres a whole number of pitches apart describe the same array.
  SingleStep a(0.3, 4), b(0.3, 4);
  const varnock_test::SteppedRay& r1 = a.params(2, 1.5).decentre(0.25, -0.5).from(1.9, 2.2, 0, 0.02, -0.04).run(7);
  const varnock_test::SteppedRay& r2 = b.params(2, 1.5).decentre(4.25, 2.5).from(1.9, 2.2, 0, 0.02, -0.04).run(7);
  EXPECT_NEAR(r1.U[1], r2.U[1], 1e-14);
  EXPECT_NEAR(r1.V[1], r2.V[1], 1e-14);
  EXPECT_NEAR(r1.Z[1], r2.Z[1], 1e-14);
  // ... and a decentre of half a pitch a different one.
  SingleStep c(0.3, 4);
  const varnock_test::SteppedRay& r3 = c.params(2, 1.5).decentre(1.25, -0.5).from(1.9, 2.2, 0, 0.02, -0.04).run(7);
  EXPECT_GT(std::fabs(r3.U[1] - r1.U[1]), 1e-3);
}

TEST(LensArray2D, OnePitchFurtherGivesTheSameAngles) {
  const double pa = 1.5, pb = -2;
  struct Shift {
    double dx, dy;
  };
  for (const Shift& d : {Shift{pa, 0}, Shift{0, pb}, Shift{-pa, -pb}}) {
    SingleStep here(0.5, 10), there(0.5, 10);
    const varnock_test::SteppedRay& a = here.params(pa, pb).decentre(0.2, -0.1).from(0.3, 0.4, 0, 0.05, -0.1).run(7);
    const varnock_test::SteppedRay& b =
        there.params(pa, pb).decentre(0.2, -0.1).from(0.3 + d.dx, 0.4 + d.dy, 0, 0.05, -0.1).run(7);
    EXPECT_NEAR(b.X[1], a.X[1] + d.dx, 1e-13);
    EXPECT_NEAR(b.Y[1], a.Y[1] + d.dy, 1e-13);
    EXPECT_NEAR(b.Z[1], a.Z[1], 1e-13);
    EXPECT_NEAR(b.U[1], a.U[1], 1e-13);
    EXPECT_NEAR(b.V[1], a.V[1], 1e-13);
  }
}

TEST(LensArray2D, ZeroPitchLosesEveryRayAndStillRestoresTheDecentres) {
  struct Pitches {
    double pa, pb;
  };
  for (const Pitches& p : {Pitches{0, 2}, Pitches{2, 0}, Pitches{0, 0}}) {
    for (double cv : {0.3, 0.0, -0.3}) {
      for (double x : {0.7, 0.5}) {  // 0.5 is exactly at dx: 0/0
        SingleStep step(cv, 4);
        const varnock_test::SteppedRay& r = step.params(p.pa, p.pb).decentre(0.5, -0.25).from(x, -0.25, 0, 0.1, 0.1).run(7);
        EXPECT_TRUE(std::isnan(r.U[1])) << p.pa << " " << p.pb << " " << cv << " " << x;
        EXPECT_TRUE(std::isnan(r.V[1])) << p.pa << " " << p.pb << " " << cv << " " << x;
      }
    }
  }
}

TEST(LensArray2D, FlatArrayIgnoresTheLenslets) {
  for (double x : {0.3, 1.7, -4.2}) {
    SingleStep array(0, 6), plane(0, 6);
    const varnock_test::SteppedRay& a = array.params(2, 3).decentre(0.4, 0.1).from(x, -x, 0, 0.1, -0.2).run(7);
    const varnock_test::SteppedRay& b = plane.from(x, -x, 0, 0.1, -0.2).run(1);
    EXPECT_TRUE(same_ray_at_1(a, b)) << x;
    EXPECT_TRUE(std::isfinite(a.U[1])) << x;
  }
}

TEST(LensArray2D, LeavesRayokAlone) {
  SingleStep step(0.3, 4);
  step.ray.RAYOK = 0;
  EXPECT_EQ(step.params(1, 1).from(5, 5, 0, 0, 0).run(7).RAYOK, 0);
  SingleStep missed(5, 4);  // lenslet radius 0.2, pitch 1: corners miss it
  const varnock_test::SteppedRay& r = missed.params(1, 1).from(0.45, 0.45, 0, 0, 0).run(7);
  EXPECT_EQ(r.RAYOK, 1);
  EXPECT_TRUE(std::isnan(r.U[1]));
}

}  // namespace
}  // namespace varnock
