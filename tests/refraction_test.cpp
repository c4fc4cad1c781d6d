// The refraction and reflection step and the refracting sphere, checked
// against closed-form optics and the worked numbers the legacy system's
// users rely on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "support/surface_step.h"
#include "trace/bend_step.h"
#include "trace/surface_models.h"
#include "trace/trace.h"

namespace varnock {
namespace {

using Step = varnock_test::SurfaceStep;

TEST(RefractingSphere, PlaneObeysSnell) {
  Step step(0, 5, 1, 1.5);
  const RayState& r = step.from(0, 0, 0, 0.3, 0).run(surf1);
  EXPECT_EQ(r.Z[1], 5);
  EXPECT_NEAR(r.U[1], 0.198311, 5e-7);
  EXPECT_NEAR(std::sin(0.3), 1.5 * std::sin(r.U[1]), 1e-15);
  EXPECT_EQ(r.V[1], 0);
  EXPECT_NEAR(r.X[1], -5 * std::tan(0.3), 1e-14);
  // The plane ignores decentres.
  Step moved(0, 5, 1, 1.5);
  moved.ray.DX[1] = 3;
  moved.ray.DY[1] = -2;
  EXPECT_EQ(moved.from(0, 0, 0, 0.3, 0).run(surf1).U[1], r.U[1]);
}

TEST(RefractingSphere, AxialRayMeetsTheVertexAndGoesStraightOn) {
  for (double cv : {0.5, -0.5}) {
    Step step(cv, 0, 1, 1.5);
    const RayState& r = step.from(0, 0, 0, 0, 0).run(surf1);
    EXPECT_EQ(r.Z[1], 0) << cv;
    EXPECT_EQ(step.ray.sc.NZ, 1) << cv;
    EXPECT_EQ(r.U[1], 0) << cv;
    EXPECT_EQ(r.V[1], 0) << cv;
  }
}

TEST(RefractingSphere, ParallelRayAtHeightTwo) {
  // U' = asin(h CV) - asin(h CV / n), hit at ZS + R - sqrt(R^2 - h^2).
  Step convex(0.1, 5, 1, 1.5);
  const RayState& a = convex.from(2, 0, 0, 0, 0).run(surf1);
  EXPECT_NEAR(a.Z[1], 5.202041, 5e-7);
  EXPECT_NEAR(a.Z[1], 15 - std::sqrt(96.0), 1e-12);
  EXPECT_NEAR(a.U[1], 0.0676263, 5e-8);
  EXPECT_NEAR(a.U[1], std::asin(0.2) - std::asin(0.2 / 1.5), 1e-14);
  EXPECT_EQ(a.X[1], 2);
  EXPECT_EQ(a.V[1], 0);

  Step concave(-0.1, 5, 1, 1.5);
  const RayState& b = concave.from(2, 0, 0, 0, 0).run(surf1);
  EXPECT_NEAR(b.Z[1], 4.797959, 5e-7);
  EXPECT_NEAR(b.U[1], -0.0676263, 5e-8);
}

TEST(RefractingSphere, DecentredSphereActsAboutItsOwnAxis) {
  Step centred(0.1, 5, 1, 1.5);
  const double u = centred.from(2, 0, 0, 0, 0).run(surf1).U[1];
  Step moved(0.1, 5, 1, 1.5);
  moved.ray.DX[1] = 3;
  moved.ray.DY[1] = -1;
  const RayState& r = moved.from(5, -1, 0, 0, 0).run(surf1);
  EXPECT_NEAR(r.U[1], u, 1e-15);
  EXPECT_NEAR(r.V[1], 0, 1e-15);
}

TEST(RefractingSphere, RayMissingTheSphereIsNotANumber) {
  Step step(0.5, 5, 1, 1.5);
  const RayState& r = step.from(3, 0, 0, 0, 0).run(surf1);
  EXPECT_TRUE(std::isnan(r.X[1]));
  EXPECT_TRUE(std::isnan(r.Z[1]));
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(RefractingSphere, TotalInternalReflectionLosesTheAnglesButNotTheHitPoint) {
  Step beyond(0, 5, 1.5, 1);
  const RayState& r = beyond.from(0, 0, 0, 0.8, 0).run(surf1);
  EXPECT_EQ(r.Z[1], 5);
  EXPECT_TRUE(std::isfinite(r.X[1]));
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));

  Step below(0, 5, 1.5, 1);
  EXPECT_NEAR(below.from(0, 0, 0, 0.7, 0).run(surf1).U[1], 1.310550, 5e-7);
}

TEST(RefractingSphere, IndexOfZeroAfterTheSurfaceLosesTheAngles) {
  Step step(0, 5, 1, 0);
  const RayState& r = step.from(0, 0, 0, 0.2, 0.1).run(surf1);
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(RefractingSphere, IndexBeforeTheSurfaceCountsByItsMagnitude) {
  Step plus(0.05, 2, 1, 1.5);
  Step minus(0.05, 2, -1, 1.5);
  const RayState& a = plus.from(1, 0.5, 0, 0.1, -0.2).run(surf1);
  const RayState& b = minus.from(1, 0.5, 0, 0.1, -0.2).run(surf1);
  EXPECT_EQ(a.U[1], b.U[1]);
  EXPECT_EQ(a.V[1], b.V[1]);
}

TEST(RefractingSphere, NegativeIndexAfterTheSurfaceBendsToTheOtherSide) {
  Step step(0, 5, 1, -1.5);
  const RayState& r = step.from(0, 0, 0, 0.3, 0).run(surf1);
  EXPECT_LT(step.ray.sc.ANGR, 0);
  EXPECT_NEAR(r.U[1], -0.198311, 5e-7);
}

TEST(RefractingSphere, CurvatureThatIsNotANumberKeepsTheOldHeight) {
  Step step(std::nan(""), 5, 1, 1.5);
  step.ray.Z[1] = 7.5;  // left by an earlier ray
  const RayState& r = step.from(1, 0, 0, 0.1, 0).run(surf1);
  EXPECT_EQ(r.Z[1], 7.5);
  EXPECT_EQ(r.X[1], 1 - std::tan(0.1) * 7.5);
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(RefractionStep, EqualIndicesLeaveTheDirectionAlone) {
  Step step(0.2, 1, 1.3, 1.3);
  const RayState& r = step.from(0.7, -0.4, 0, 0.15, 0.05).run(surf1);
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
    incoming_direction(q);
    q.NX = q.EX;
    q.NY = q.EY;
    q.NZ = q.EZ;
    const bool above_one = std::fabs(q.NX * q.EX + q.NY * q.EY + q.NZ * q.EZ) > 1;
    if (above_one) ++rounded_above_one;
    incidence_angle(q);
    if (above_one) {
      ASSERT_EQ(q.ANGI, 0);
    }
    // Rounding the other way leaves a tiny angle, about 1.5e-8 rad.
    ASSERT_LT(q.ANGI, 3e-8);
    refraction_angle(q, 1, 1.5);
    refraction_change(q);
    outgoing_direction(q);
    EXPECT_NEAR(q.FX, q.EX, 3e-8);
    EXPECT_NEAR(q.FY, q.EY, 3e-8);
  }
  EXPECT_GT(rounded_above_one, 0) << "no case exercised the limit";
}

TEST(RefractionStep, NotANumberNormalPassesThroughTheLimit) {
  TraceScratch q;
  q.NX = std::nan("");
  incidence_angle(q);
  EXPECT_TRUE(std::isnan(q.ANGI));
}

// Reflection: a plane mirror at z = ZS[0] with the hit point set by hand.
RayState reflect_on_plane(double u, double v) {
  RayState r;
  r.ZS[0] = 4;
  r.U[0] = u;
  r.V[0] = v;
  r.Z[1] = 4;
  r.sc.TU = std::tan(u);
  r.sc.TV = std::tan(v);
  r.sc.NX = 0;
  r.sc.NY = 0;
  r.sc.NZ = 1;
  r.sc.DCOS = 11;
  r.sc.DSIN = 12;
  reflect(r, 0);
  return r;
}

TEST(ReflectionStep, PlaneMirrorLeavesTheUnfoldedRayUnchanged) {
  const RayState r = reflect_on_plane(0.25, -0.1);
  EXPECT_NEAR(r.U[1], 0.25, 1e-15);
  EXPECT_NEAR(r.V[1], -0.1, 1e-15);
  EXPECT_EQ(r.Z[1], 4);
  // Reflection never touches the cosine and sine differences.
  EXPECT_EQ(r.sc.DCOS, 11);
  EXPECT_EQ(r.sc.DSIN, 12);
}

TEST(ReflectionStep, BackwardAnglesComeOutBetweenMinusAndPlusHalfPi) {
  const RayState r = reflect_on_plane(0.25 + RUN_PI, 0);
  EXPECT_NEAR(r.U[1], 0.25, 1e-14);
  EXPECT_LE(std::fabs(r.U[1]), RUN_PI / 2);
}

TEST(ReflectionStep, AlongTheNormalTheRayTurnsBack) {
  RayState r;
  r.ZS[0] = 0;
  r.sc.TU = std::tan(0.2);
  r.sc.TV = std::tan(-0.1);
  incoming_direction(r.sc);
  r.sc.NX = r.sc.EX;
  r.sc.NY = r.sc.EY;
  r.sc.NZ = r.sc.EZ;
  r.Z[1] = 1;
  reflect(r, 0);
  // |N.E| may round to just below 1, which leaves an angle of incidence of
  // about 1.5e-8 rad and so a direction good to a few times that.
  EXPECT_NEAR(r.U[1], -0.2, 1e-7);
  EXPECT_NEAR(r.V[1], 0.1, 1e-7);
  EXPECT_EQ(r.Z[1], -1);  // mirrored in the vertex plane z = 0
}

TEST(Tracer, UnknownTypeCodesTraceAsTheRefractingSphere) {
  auto traced_with = [](int code) {
    SurfaceTable table;
    RayState ray;
    table.STYPE[1] = code;
    table.CV[1] = 0.05;
    table.PA[1] = 0.3;
    table.PB[1] = -2;
    ray.ZS[0] = 4;
    ray.RN0[0] = 1;
    ray.RN0[1] = 1.6;
    ray.X[0] = 1.5;
    ray.Y[0] = -0.5;
    ray.U[0] = 0.1;
    ray.V[0] = 0.05;
    trace(Optics{table, 1, RUN_PI}, ray);
    return ray;
  };
  const RayState sphere = traced_with(1);
  EXPECT_TRUE(std::isfinite(sphere.U[1]));
  for (int code : {0, -3, 10, 1000, std::numeric_limits<int>::min()}) {
    const RayState r = traced_with(code);
    EXPECT_EQ(r.X[1], sphere.X[1]) << code;
    EXPECT_EQ(r.Y[1], sphere.Y[1]) << code;
    EXPECT_EQ(r.Z[1], sphere.Z[1]) << code;
    EXPECT_EQ(r.U[1], sphere.U[1]) << code;
    EXPECT_EQ(r.V[1], sphere.V[1]) << code;
  }
}

TEST(Tracer, CarriesTheRayThroughEverySurfaceEvenWhenLost) {
  SurfaceTable table;
  RayState ray;
  for (int s = 0; s <= 100; ++s) {
    ray.ZS[s] = s + 1.0;
    ray.RN0[s] = 1;
  }
  table.CV[3] = 10;  // radius 0.1: the ray misses it
  ray.X[0] = 1;
  ray.U[0] = 0.01;
  ray.RAYOK = 0;
  trace(Optics{table, 100, RUN_PI}, ray);
  EXPECT_EQ(ray.RAYOK, 1);
  EXPECT_TRUE(std::isfinite(ray.X[2]));
  for (int s = 3; s <= 100; ++s) EXPECT_TRUE(std::isnan(ray.X[s])) << s;

  RayState none;
  none.X[0] = 2;
  trace(Optics{table, 0, RUN_PI}, none);
  EXPECT_EQ(none.RAYOK, 1);
  EXPECT_EQ(none.X[1], 0);  // nothing beyond the source was written
}

}  // namespace
}  // namespace varnock
