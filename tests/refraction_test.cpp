// The refraction and reflection step and the refracting sphere, checked
// against closed-form optics and the worked numbers the legacy system's
// users rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "support/random_block.h"
#include "support/surface_step.h"
#include "trace/bend_step.h"
#include "trace/ray_block.h"
#include "trace/surface_models.h"

namespace varnock {
namespace {

using Step = varnock_test::SingleStep;
using L = ScalarLanes;

TEST(RefractingSphere, PlaneObeysSnell) {
  Step step(0, 5, 1, 1.5);
  const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0.3, 0).run(1);
  EXPECT_EQ(r.Z[1], 5);
  EXPECT_NEAR(r.U[1], 0.198311, 5e-7);
  EXPECT_NEAR(std::sin(0.3), 1.5 * std::sin(r.U[1]), 1e-15);
  EXPECT_EQ(r.V[1], 0);
  EXPECT_NEAR(r.X[1], -5 * std::tan(0.3), 1e-14);
  // The plane ignores decentres.
  Step moved(0, 5, 1, 1.5);
  moved.table.DX[1] = 3;
  moved.table.DY[1] = -2;
  EXPECT_EQ(moved.from(0, 0, 0, 0.3, 0).run(1).U[1], r.U[1]);
}

TEST(RefractingSphere, AxialRayMeetsTheVertexAndGoesStraightOn) {
  for (double cv : {0.5, -0.5}) {
    Step step(cv, 0, 1, 1.5);
    const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0, 0).run(1);
    EXPECT_EQ(r.Z[1], 0) << cv;
    EXPECT_EQ(step.ray.sc.NZ, 1) << cv;
    EXPECT_EQ(r.U[1], 0) << cv;
    EXPECT_EQ(r.V[1], 0) << cv;
  }
}

TEST(RefractingSphere, ParallelRayAtHeightTwo) {
  // U' = asin(h CV) - asin(h CV / n), hit at ZS + R - sqrt(R^2 - h^2).
  Step convex(0.1, 5, 1, 1.5);
  const varnock_test::SteppedRay& a = convex.from(2, 0, 0, 0, 0).run(1);
  EXPECT_NEAR(a.Z[1], 5.202041, 5e-7);
  EXPECT_NEAR(a.Z[1], 15 - std::sqrt(96.0), 1e-12);
  EXPECT_NEAR(a.U[1], 0.0676263, 5e-8);
  EXPECT_NEAR(a.U[1], std::asin(0.2) - std::asin(0.2 / 1.5), 1e-14);
  EXPECT_EQ(a.X[1], 2);
  EXPECT_EQ(a.V[1], 0);

  Step concave(-0.1, 5, 1, 1.5);
  const varnock_test::SteppedRay& b = concave.from(2, 0, 0, 0, 0).run(1);
  EXPECT_NEAR(b.Z[1], 4.797959, 5e-7);
  EXPECT_NEAR(b.U[1], -0.0676263, 5e-8);
}

TEST(RefractingSphere, DecentredSphereActsAboutItsOwnAxis) {
  Step centred(0.1, 5, 1, 1.5);
  const double u = centred.from(2, 0, 0, 0, 0).run(1).U[1];
  Step moved(0.1, 5, 1, 1.5);
  moved.table.DX[1] = 3;
  moved.table.DY[1] = -1;
  const varnock_test::SteppedRay& r = moved.from(5, -1, 0, 0, 0).run(1);
  EXPECT_NEAR(r.U[1], u, 1e-15);
  EXPECT_NEAR(r.V[1], 0, 1e-15);
}

TEST(RefractingSphere, RayMissingTheSphereIsNotANumber) {
  Step step(0.5, 5, 1, 1.5);
  const varnock_test::SteppedRay& r = step.from(3, 0, 0, 0, 0).run(1);
  EXPECT_TRUE(std::isnan(r.X[1]));
  EXPECT_TRUE(std::isnan(r.Z[1]));
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(RefractingSphere, TotalInternalReflectionLosesTheAnglesButNotTheHitPoint) {
  Step beyond(0, 5, 1.5, 1);
  const varnock_test::SteppedRay& r = beyond.from(0, 0, 0, 0.8, 0).run(1);
  EXPECT_EQ(r.Z[1], 5);
  EXPECT_TRUE(std::isfinite(r.X[1]));
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));

  Step below(0, 5, 1.5, 1);
  EXPECT_NEAR(below.from(0, 0, 0, 0.7, 0).run(1).U[1], 1.310550, 5e-7);
}

TEST(RefractingSphere, IndexOfZeroAfterTheSurfaceLosesTheAngles) {
  Step step(0, 5, 1, 0);
  const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0.2, 0.1).run(1);
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(RefractingSphere, IndexBeforeTheSurfaceCountsByItsMagnitude) {
  Step plus(0.05, 2, 1, 1.5);
  Step minus(0.05, 2, -1, 1.5);
  const varnock_test::SteppedRay& a = plus.from(1, 0.5, 0, 0.1, -0.2).run(1);
  const varnock_test::SteppedRay& b = minus.from(1, 0.5, 0, 0.1, -0.2).run(1);
  EXPECT_EQ(a.U[1], b.U[1]);
  EXPECT_EQ(a.V[1], b.V[1]);
}

TEST(RefractingSphere, NegativeIndexAfterTheSurfaceBendsToTheOtherSide) {
  Step step(0, 5, 1, -1.5);
  const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0.3, 0).run(1);
  EXPECT_LT(step.ray.sc.ANGR, 0);
  EXPECT_NEAR(r.U[1], -0.198311, 5e-7);
}

TEST(RefractingSphere, CurvatureThatIsNotANumberKeepsTheOldHeight) {
  Step step(std::nan(""), 5, 1, 1.5);
  step.ray.Z[1] = 7.5;  // left by an earlier ray
  const varnock_test::SteppedRay& r = step.from(1, 0, 0, 0.1, 0).run(1);
  EXPECT_EQ(r.Z[1], 7.5);
  EXPECT_EQ(r.X[1], 1 - std::tan(0.1) * 7.5);
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(RefractionStep, EqualIndicesLeaveTheDirectionAlone) {
  Step step(0.2, 1, 1.3, 1.3);
  const varnock_test::SteppedRay& r = step.from(0.7, -0.4, 0, 0.15, 0.05).run(1);
  EXPECT_NEAR(r.U[1], 0.15, 1e-14);
  EXPECT_NEAR(r.V[1], 0.05, 1e-14);
}

TEST(RefractionStep, NormalIncidenceIsNeverLostToRounding) {
  // Rays exactly along the normal: for some, N.E rounds to just above 1.
  // The limit keeps the angle of incidence at 0 and the ray unbent.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> angle(-0.6, 0.6);
  int rounded_above_one = 0;
  for (int i = 0; i < 2000; ++i) {
    TraceScratch q;
    q.TU = std::tan(angle(rng));
    q.TV = std::tan(angle(rng));
    incoming_direction<L>(q);
    q.NX = q.EX;
    q.NY = q.EY;
    q.NZ = q.EZ;
    const bool above_one = std::fabs(q.NX * q.EX + q.NY * q.EY + q.NZ * q.EZ) > 1;
    if (above_one) ++rounded_above_one;
    incidence_angle<L>(q);
    if (above_one) {
      ASSERT_EQ(q.ANGI, 0);
    }
    // Rounding the other way leaves a tiny angle, about 1.5e-8 rad.
    ASSERT_LT(q.ANGI, 3e-8);
    refraction_angle<L>(q, 1, 1.5);
    refraction_change<L>(q);
    outgoing_direction<L>(q);
    EXPECT_NEAR(q.FX, q.EX, 3e-8);
    EXPECT_NEAR(q.FY, q.EY, 3e-8);
  }
  EXPECT_GT(rounded_above_one, 0) << "no case exercised the limit";
}

TEST(RefractionStep, NotANumberNormalPassesThroughTheLimit) {
  TraceScratch q;
  q.NX = std::nan("");
  incidence_angle<L>(q);
  EXPECT_TRUE(std::isnan(q.ANGI));
}

// Reflection: a plane mirror at z = 4 with the hit point set by hand.
StepRays<L> reflect_on_plane(double u, double v) {
  StepRays<L> r;
  r.U = u;
  r.V = v;
  r.Z1 = 4;
  r.sc.TU = std::tan(u);
  r.sc.TV = std::tan(v);
  r.sc.NX = 0;
  r.sc.NY = 0;
  r.sc.NZ = 1;
  r.sc.DCOS = 11;
  r.sc.DSIN = 12;
  reflect<L>(r, 4);
  return r;
}

TEST(ReflectionStep, PlaneMirrorLeavesTheUnfoldedRayUnchanged) {
  const StepRays<L> r = reflect_on_plane(0.25, -0.1);
  EXPECT_NEAR(r.U1, 0.25, 1e-15);
  EXPECT_NEAR(r.V1, -0.1, 1e-15);
  EXPECT_EQ(r.Z1, 4);
  // Reflection never touches the cosine and sine differences.
  EXPECT_EQ(r.sc.DCOS, 11);
  EXPECT_EQ(r.sc.DSIN, 12);
}

TEST(ReflectionStep, BackwardAnglesComeOutBetweenMinusAndPlusHalfPi) {
  const StepRays<L> r = reflect_on_plane(0.25 + RUN_PI, 0);
  EXPECT_NEAR(r.U1, 0.25, 1e-14);
  EXPECT_LE(std::fabs(r.U1), RUN_PI / 2);
}

TEST(ReflectionStep, AlongTheNormalTheRayTurnsBack) {
  StepRays<L> r;
  r.sc.TU = std::tan(0.2);
  r.sc.TV = std::tan(-0.1);
  incoming_direction<L>(r.sc);
  r.sc.NX = r.sc.EX;
  r.sc.NY = r.sc.EY;
  r.sc.NZ = r.sc.EZ;
  r.Z1 = 1;
  reflect<L>(r, 0);
  // |N.E| may round to just below 1, which leaves an angle of incidence of
  // about 1.5e-8 rad and so a direction good to a few times that.
  EXPECT_NEAR(r.U1, -0.2, 1e-7);
  EXPECT_NEAR(r.V1, 0.1, 1e-7);
  EXPECT_EQ(r.Z1, -1);  // mirrored in the vertex plane z = 0
}

TEST(Tracer, UnknownTypeCodesTraceAsTheRefractingSphere) {
  auto traced_with = [](int code) {
    SurfaceTable table;
    SurfaceArray ZS{};
    table.STYPE[1] = code;
    table.CV[1] = 0.05;
    table.PA[1] = 0.3;
    table.PB[1] = -2;
    ZS[0] = 4;
    table.RN[1][0] = 1;
    table.RN[1][1] = 1.6;
    SurfaceSteps steps;
    prepare_surface_steps(table, 1, ZS, 1, RUN_PI, steps);
    return trace_path(steps.data(), 1, RayPoint{1.5, -0.5, 0, 0.1, 0.05}).at[1];
  };
  const RayPoint sphere = traced_with(1);
  EXPECT_TRUE(std::isfinite(sphere.U));
  for (int code : {0, -3, 10, 1000, std::numeric_limits<int>::min()}) {
    const RayPoint r = traced_with(code);
    EXPECT_EQ(r.X, sphere.X) << code;
    EXPECT_EQ(r.Y, sphere.Y) << code;
    EXPECT_EQ(r.Z, sphere.Z) << code;
    EXPECT_EQ(r.U, sphere.U) << code;
    EXPECT_EQ(r.V, sphere.V) << code;
  }
}

TEST(Tracer, CarriesTheRayThroughEverySurfaceEvenWhenLost) {
  SurfaceTable table;
  SurfaceArray ZS{};
  for (int s = 0; s <= 100; ++s) {
    ZS[s] = s + 1.0;
    table.RN[1][s] = 1;
  }
  table.CV[3] = 10;  // radius 0.1: the ray misses it
  SurfaceSteps steps;
  prepare_surface_steps(table, 100, ZS, 1, RUN_PI, steps);
  const RayPath path = trace_path(steps.data(), 100, RayPoint{1, 0, 0, 0.01, 0});
  ASSERT_EQ(path.at.size(), 101u);
  EXPECT_TRUE(path.ok);
  EXPECT_TRUE(std::isfinite(path.at[2].X));
  for (int s = 3; s <= 100; ++s) EXPECT_TRUE(std::isnan(path.at[s].X)) << s;

  const RayPath none = trace_path(steps.data(), 0, RayPoint{2, 0, 0, 0, 0});
  EXPECT_EQ(none.at.size(), 1u);  // nothing beyond the source
  EXPECT_TRUE(none.ok);
}

// The block tracer, which runs every surface over a whole block of rays,
// gives each ray exactly what tracing it alone gives, whatever its place in
// the block: lost and not-a-number rays beside good ones included.
TEST(Tracer, BlocksTraceEveryRayAsItsOwn) {
  varnock_test::RandomBlock rb = varnock_test::random_block(3);
  const int nsurf = rb.surfaces();
  trace_block_exact(rb.steps.data(), nsurf, rb.block);
  int lost = 0, counted = 0;
  for (int i = 0; i < BLOCK_RAYS; ++i) {
    const RayPath alone = trace_path(rb.steps.data(), nsurf, rb.starts[i]);
    const RayPoint& a = alone.at.back();
    const RayColumns& b = rb.block.at_surface();
    EXPECT_TRUE(varnock_test::same(a.X, b.X[i]) && varnock_test::same(a.Y, b.Y[i]) &&
                varnock_test::same(a.Z, b.Z[i]) && varnock_test::same(a.U, b.U[i]) &&
                varnock_test::same(a.V, b.V[i]))
        << "ray " << i;
    EXPECT_EQ(alone.ok, rb.block.ok[i] != 0) << "ray " << i;
    (alone.ok && std::isfinite(a.U) ? counted : lost) += 1;
  }
  EXPECT_GT(counted, 10);
  EXPECT_GT(lost, 10);
}

}  // namespace
}  // namespace varnock
