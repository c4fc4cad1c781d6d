// The circular aperture: a stop on the axis in the vertex plane, blocking
// on its rim, followed by the refracting sphere of the same surface.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/surface_step.h"
#include "trace/surface_models.h"

namespace varnock {
namespace {

using varnock_test::same_ray_at_1;
using varnock_test::SingleStep;

// RAYOK after a parallel ray at (x, y) meets a stop of radius pa.
int passes(double pa, double x, double y) {
  SingleStep step(0.1, 5);
  return step.params(pa).from(x, y, 0, 0, 0).run(6).RAYOK;
}

TEST(CircularAperture, IsTheTracersTypeSix) { EXPECT_TRUE(varnock_test::traces_with(6, surf6<ScalarLanes>)); }

TEST(CircularAperture, TheRimBlocks) {
  EXPECT_EQ(passes(5, 3, 4), 0);  // 3^2 + 4^2 = 5^2 exactly
  EXPECT_EQ(passes(5, -3, -4), 0);
  EXPECT_EQ(passes(5, 5, 0), 0);
  EXPECT_EQ(passes(5, 3, 3.999), 1);
  EXPECT_EQ(passes(5, 0, -4.999), 1);
  EXPECT_EQ(passes(5, 0, 0), 1);
}

TEST(CircularAperture, ANegativeRadiusCountsByItsSize) {
  EXPECT_EQ(passes(-3, 0, 2.99), 1);
  EXPECT_EQ(passes(-3, -2.1, 2.1), 1);
  EXPECT_EQ(passes(-3, 3, 0), 0);
  EXPECT_EQ(passes(-3, 0, -3.2), 0);
}

TEST(CircularAperture, RadiusZeroBlocksEveryRayButStillRefracts) {
  for (double x : {0.0, 0.5, -2.0}) {
    SingleStep stop(0.1, 5), lens(0.1, 5);
    const varnock_test::SteppedRay& a = stop.params(0).from(x, 0.25, 0, 0.05, -0.02).run(6);
    EXPECT_EQ(a.RAYOK, 0) << x;
    EXPECT_TRUE(same_ray_at_1(a, lens.from(x, 0.25, 0, 0.05, -0.02).run(1))) << x;
    EXPECT_TRUE(std::isfinite(a.U[1]));
  }
}

TEST(CircularAperture, DecentresMoveTheLensNotTheStop) {
  // Lens (R = 20) decentred to x = 10, stop of radius 5 still on the axis.
  SingleStep axis(0.05, 5), lens_centre(0.05, 5);
  const varnock_test::SteppedRay& a = axis.params(5).decentre(10, 0).from(0, 0, 0, 0, 0).run(6);
  const varnock_test::SteppedRay& b = lens_centre.params(5).decentre(10, 0).from(10, 0, 0, 0, 0).run(6);
  EXPECT_EQ(a.RAYOK, 1);
  EXPECT_EQ(b.RAYOK, 0);
  // Behind the stop is the decentred sphere: the ray through its vertex goes
  // straight on, the one on the axis is bent towards the lens's axis.
  EXPECT_EQ(b.U[1], 0);
  SingleStep sphere(0.05, 5);
  EXPECT_TRUE(same_ray_at_1(a, sphere.decentre(10, 0).from(0, 0, 0, 0, 0).run(1)));
  EXPECT_LT(a.U[1], -0.01);
}

TEST(CircularAperture, TestsWhereTheRayCrossesTheVertexPlane) {
  // From x = 0, z = 0 falling in x at U = -0.3, the ray crosses z = 10 at
  // x = 10 tan 0.3 = 3.09.
  SingleStep tight(0, 10), wide(0, 10);
  EXPECT_EQ(tight.params(3).from(0, 0, 0, -0.3, 0).run(6).RAYOK, 0);
  EXPECT_EQ(wide.params(3.2).from(0, 0, 0, -0.3, 0).run(6).RAYOK, 1);

  // Crossing the vertex plane at x = 2.9, inside a stop of radius 3, the ray
  // meets the convex surface behind it only at x ~ 3.02: it passes.
  SingleStep curved(0.05, 10);
  const varnock_test::SteppedRay& r = curved.params(3).from(2.9, 0, 10, -0.5, 0).run(6);
  EXPECT_EQ(r.RAYOK, 1);
  EXPECT_GT(r.X[1], 3);
}

TEST(CircularAperture, ARayLostEarlierStaysLost) {
  SingleStep step(0.1, 5);
  step.ray.RAYOK = 0;
  EXPECT_EQ(step.params(5).from(0, 0, 0, 0, 0).run(6).RAYOK, 0);
}

TEST(CircularAperture, CoordinatesThatAreNotFiniteAreBlocked) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(passes(5, std::nan(""), 0), 0);
  EXPECT_EQ(passes(5, 0, inf), 0);
  EXPECT_EQ(passes(inf, 1, 1), 1);  // an infinite radius lets every finite ray through
}

TEST(CircularAperture, CurvatureThatIsNotANumberLeavesTheVertexPlaneCrossing) {
  // The sphere step takes neither root and keeps the hit height it finds,
  // which here is the crossing of the vertex plane the stop test stored.
  SingleStep step(std::nan(""), 5);
  step.ray.Z[1] = 42;  // left by an earlier ray
  const varnock_test::SteppedRay& r = step.params(5).from(1, 0, 0, 0.1, 0).run(6);
  EXPECT_EQ(r.Z[1], 5);
  EXPECT_TRUE(std::isnan(r.U[1]));
}

TEST(CircularAperture, ALostRayStaysLostThroughEveryLaterSurface) {
  SurfaceTable table;
  SurfaceArray ZS{};
  const int types[] = {0, 6, 1, 5, 7, 4, 6};
  for (int s = 1; s <= 6; ++s) {
    table.STYPE[s] = types[s];
    table.CV[s] = 0.05;
    table.PA[s] = 2;
    table.PB[s] = 2;
    ZS[s - 1] = 5.0 * s;
  }
  table.PA[1] = 1;    // the first stop blocks the ray at x = 1.5
  table.PA[6] = 100;  // the last one would let it through
  for (int s = 0; s <= 6; ++s) table.RN[1][s] = s % 2 ? 1.5 : 1;
  SurfaceSteps steps;
  prepare_surface_steps(table, 6, ZS, 1, RUN_PI, steps);
  const RayPath path = trace_path(steps.data(), 6, RayPoint{1.5, 0, 0, 0.01, 0});
  EXPECT_FALSE(path.ok);
  for (int s = 1; s <= 6; ++s) EXPECT_TRUE(std::isfinite(path.at[s].U)) << s;  // still traced
}

}  // namespace
}  // namespace varnock
