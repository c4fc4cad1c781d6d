// The refracting cylinder and the cylindrical lens array (lenticular sheet):
// closed-form optics in the y-z plane, the sphere where the two must agree,
// and the choice of lenslet at the borders.
#include <gtest/gtest.h>

#include <cmath>

#include "support/surface_step.h"
#include "trace/surface_models.h"

namespace varnock {
namespace {

using varnock_test::same_ray_at_1;
using varnock_test::SingleStep;

TEST(RefractingCylinder, IsTheTracersTypeFour) { EXPECT_TRUE(varnock_test::traces_with(4, surf4<ScalarLanes>)); }

TEST(RefractingCylinder, PlaneIsTheSpheresPlane) {
  for (double u : {0.3, -0.1, 0.0}) {
    for (double v : {0.0, 0.2, -0.4}) {
      SingleStep cylinder(0, 5), sphere(0, 5);
      cylinder.decentre(1, -2).from(0.5, -1, 0, u, v);
      sphere.decentre(1, -2).from(0.5, -1, 0, u, v);
      EXPECT_TRUE(same_ray_at_1(cylinder.run(4), sphere.run(1))) << u << " " << v;
      EXPECT_EQ(cylinder.ray.Z[1], 5);
    }
  }
}

TEST(RefractingCylinder, PlaneLeavesTheQuadraticAlone) {
  SingleStep step(0, 5);
  step.ray.sc.QA = 11;
  step.ray.sc.QB = 12;
  step.ray.sc.QC = 13;
  step.from(0.5, 1, 0, 0.1, 0.2).run(4);
  EXPECT_EQ(step.ray.sc.QA, 11);
  EXPECT_EQ(step.ray.sc.QB, 12);
  EXPECT_EQ(step.ray.sc.QC, 13);
}

TEST(RefractingCylinder, ParallelRayAtHeightTwoBendsInYOnly) {
  // R = 10, h = 2: hit at ZS + R - sqrt(R^2 - h^2), and
  // V' = asin(h CV) - asin(h CV / n), whatever the ray's x.
  SingleStep convex(0.1, 5);
  const varnock_test::SteppedRay& a = convex.from(7, 2, 0, 0, 0).run(4);
  EXPECT_NEAR(a.Z[1], 15 - std::sqrt(96.0), 1e-12);
  EXPECT_EQ(a.X[1], 7);
  EXPECT_EQ(a.U[1], 0);
  EXPECT_NEAR(a.V[1], std::asin(0.2) - std::asin(0.2 / 1.5), 1e-14);
  EXPECT_NEAR(a.V[1], 0.0676263, 5e-8);

  // The sphere does the same in x for a ray at x = 2, y = 0.
  SingleStep sphere(0.1, 5);
  const varnock_test::SteppedRay& b = sphere.from(2, 0, 0, 0, 0).run(1);
  EXPECT_EQ(a.Z[1], b.Z[1]);
  EXPECT_EQ(a.V[1], b.U[1]);

  SingleStep concave(-0.1, 5);
  const varnock_test::SteppedRay& c = concave.from(-3, 2, 0, 0, 0).run(4);
  EXPECT_NEAR(c.Z[1], std::sqrt(96.0) - 5, 1e-12);
  EXPECT_NEAR(c.V[1], -0.0676263, 5e-8);
}

TEST(RefractingCylinder, RayInThePlaneOfTheVertexLineSeesAPlane) {
  // V = 0 and Y = DY: the ray runs in the plane that holds the vertex line,
  // meets the cylinder on that line and is bent in x as by the plane there.
  for (double cv : {0.2, -0.2}) {
    for (double u : {0.2, -0.35}) {
      SingleStep cylinder(cv, 4);
      const varnock_test::SteppedRay& a = cylinder.decentre(2, 1.5).from(3, 1.5, 0, u, 0).run(4);
      SingleStep plane(0, 4);
      const varnock_test::SteppedRay& b = plane.from(3, 1.5, 0, u, 0).run(1);
      EXPECT_NEAR(a.Z[1], 4, 1e-14) << cv;
      EXPECT_EQ(a.Y[1], 1.5);
      EXPECT_EQ(a.V[1], 0);
      EXPECT_NEAR(a.U[1], b.U[1], 1e-14) << cv << " " << u;
      EXPECT_NEAR(std::sin(u), 1.5 * std::sin(a.U[1]), 1e-14);
      // A sphere of the same curvature, met off its vertex, bends it back.
      SingleStep sphere(cv, 4);
      const varnock_test::SteppedRay& c = sphere.decentre(2, 1.5).from(3, 1.5, 0, u, 0).run(1);
      EXPECT_GT(std::fabs(c.U[1] - a.U[1]), 1e-3);
    }
  }
}

TEST(RefractingCylinder, XDecentreChangesNothing) {
  SingleStep centred(0.25, 3);
  const varnock_test::SteppedRay& a = centred.decentre(0, 0.5).from(1.2, -0.7, 0, 0.15, -0.05).run(4);
  for (double dx : {-4.5, 1e6, std::nan("")}) {
    SingleStep moved(0.25, 3);
    const varnock_test::SteppedRay& b = moved.decentre(dx, 0.5).from(1.2, -0.7, 0, 0.15, -0.05).run(4);
    EXPECT_TRUE(same_ray_at_1(a, b)) << dx;
  }
  EXPECT_TRUE(std::isfinite(a.U[1]) && std::isfinite(a.V[1]));
  EXPECT_EQ(centred.ray.sc.NX, 0);
  EXPECT_FALSE(std::signbit(centred.ray.sc.NX));
}

TEST(RefractingCylinder, ActsAboutItsOwnVertexLine) {
  SingleStep centred(0.1, 5), moved(0.1, 5);
  const varnock_test::SteppedRay& a = centred.from(1, 2, 0, 0, 0).run(4);
  const varnock_test::SteppedRay& b = moved.decentre(0, -3).from(1, -1, 0, 0, 0).run(4);
  EXPECT_NEAR(b.V[1], a.V[1], 1e-15);
  EXPECT_NEAR(b.Z[1], a.Z[1], 1e-14);
}

TEST(RefractingCylinder, RayBeyondTheRadiusMissesIt) {
  for (double cv : {0.2, -0.2}) {
    SingleStep step(cv, 5);
    const varnock_test::SteppedRay& r = step.decentre(0, 1).from(0, 6.5, 0, 0.3, 0).run(4);
    EXPECT_TRUE(std::isnan(r.X[1])) << cv;
    EXPECT_TRUE(std::isnan(r.Y[1])) << cv;
    EXPECT_TRUE(std::isnan(r.Z[1])) << cv;
    EXPECT_TRUE(std::isnan(r.U[1])) << cv;
    EXPECT_TRUE(std::isnan(r.V[1])) << cv;
  }
}

// ---------------------------------------------------------------------------
// Cylindrical lens array.

TEST(CylindricalLensArray, IsTheTracersTypeFive) { EXPECT_TRUE(varnock_test::traces_with(5, surf5<ScalarLanes>)); }

TEST(CylindricalLensArray, BorderRaysGoToTheLensletWithTheLargerIndex) {
  struct Case {
    double pitch, y, centre;
  };
  for (const Case& c : {Case{2, 1, 2}, Case{2, -1, 0}, Case{2, 2.9, 2}, Case{2, -3, -2},
                        Case{-2, 1, 0}, Case{-2, -1, -2}, Case{2, 0, 0}}) {
    SingleStep array(0.4, 6);
    const varnock_test::SteppedRay& a = array.params(c.pitch).from(0.5, c.y, 0, 0.1, 0).run(5);
    // The step is the cylinder of that lenslet, not of its neighbour.
    SingleStep lenslet(0.4, 6), neighbour(0.4, 6);
    const varnock_test::SteppedRay& b = lenslet.decentre(0, c.centre).from(0.5, c.y, 0, 0.1, 0).run(4);
    EXPECT_TRUE(same_ray_at_1(a, b)) << c.pitch << " " << c.y;
    const double other = c.y > c.centre ? c.centre + 2 : c.centre - 2;
    EXPECT_FALSE(same_ray_at_1(a, neighbour.decentre(0, other).from(0.5, c.y, 0, 0.1, 0).run(4)));
    EXPECT_TRUE(std::isfinite(a.V[1])) << c.pitch << " " << c.y;
  }
}

TEST(CylindricalLensArray, ChoosesWhereTheRayCrossesTheVertexPlane) {
  // From y = 0 rising at V = -0.3, the ray crosses z = 10 at y = 10 tan 0.3
  // = 3.09: lenslet 2 of pitch 2, centred at y = 4.
  SingleStep array(0.4, 10);
  const varnock_test::SteppedRay& a = array.params(2).from(0, 0, 0, 0, -0.3).run(5);
  SingleStep lenslet(0.4, 10);
  EXPECT_TRUE(same_ray_at_1(a, lenslet.decentre(0, 4).from(0, 0, 0, 0, -0.3).run(4)));
  EXPECT_TRUE(std::isfinite(a.V[1]));
}

TEST(CylindricalLensArray, SheetDecentresHaveNoEffect) {
  SingleStep plain(0.4, 6);
  const varnock_test::SteppedRay& a = plain.params(1.5).from(0.2, 2.1, 0, 0.05, 0.02).run(5);
  for (double dy : {7.3, -0.75}) {
    SingleStep moved(0.4, 6);
    const varnock_test::SteppedRay& b = moved.params(1.5).decentre(-2, dy).from(0.2, 2.1, 0, 0.05, 0.02).run(5);
    EXPECT_TRUE(same_ray_at_1(a, b)) << dy;
    EXPECT_TRUE(std::isfinite(b.V[1])) << dy;
  }
}

TEST(CylindricalLensArray, OnePitchFurtherGivesTheSameAngles) {
  for (double pitch : {2.0, -2.0}) {
    SingleStep here(0.5, 10), there(0.5, 10);
    here.params(pitch).from(0.3, 0.4, 0, 0.05, -0.1);
    there.params(pitch).from(0.3, 0.4 + pitch, 0, 0.05, -0.1);
    const varnock_test::SteppedRay& a = here.run(5);
    const varnock_test::SteppedRay& b = there.run(5);
    EXPECT_NEAR(b.Y[1], a.Y[1] + pitch, 1e-13);
    EXPECT_NEAR(b.Z[1], a.Z[1], 1e-13);
    EXPECT_NEAR(b.X[1], a.X[1], 1e-13);
    EXPECT_NEAR(b.U[1], a.U[1], 1e-13);
    EXPECT_NEAR(b.V[1], a.V[1], 1e-13);
    EXPECT_GT(std::fabs(a.V[1] - (-0.1)), 1e-3);  // the lenslet does bend it
  }
}

TEST(CylindricalLensArray, ZeroPitchLosesEveryRay) {
  for (double cv : {0.4, 0.0, -0.4}) {
    for (double y : {1.0, 0.0}) {
      SingleStep step(cv, 6);
      const varnock_test::SteppedRay& r = step.params(0).from(0.5, y, 0, 0.1, 0).run(5);
      EXPECT_TRUE(std::isnan(r.U[1])) << cv << " " << y;
      EXPECT_TRUE(std::isnan(r.V[1])) << cv << " " << y;
    }
  }
}

TEST(CylindricalLensArray, FlatSheetIgnoresTheLenslets) {
  for (double y : {0.3, 1.7, -4.2}) {
    SingleStep array(0, 6), plane(0, 6);
    const varnock_test::SteppedRay& a = array.params(2).from(0.5, y, 0, 0.1, -0.2).run(5);
    const varnock_test::SteppedRay& b = plane.from(0.5, y, 0, 0.1, -0.2).run(4);
    EXPECT_TRUE(same_ray_at_1(a, b)) << y;
    EXPECT_TRUE(std::isfinite(a.V[1])) << y;
  }
}

TEST(CylindricalLensArray, LensletIsRefractedBeyondItsEdge) {
  // The ray crosses the vertex plane z = 6 at y = 0.9, inside lenslet 0 of
  // pitch 2, rising; the convex lenslet (R = 1.25) falls away from that
  // plane, so the ray meets it only at y ~ 1.09, in lenslet 1's strip. It is
  // refracted by lenslet 0 all the same: no clipping, no second choice.
  SingleStep array(0.8, 6);
  const varnock_test::SteppedRay& a = array.params(2).from(0.5, 0.9, 6, 0.1, -0.3).run(5);
  EXPECT_GT(a.Y[1], 1.05);
  EXPECT_LT(a.Y[1], 1.15);
  SingleStep own(0.8, 6), next(0.8, 6);
  EXPECT_TRUE(same_ray_at_1(a, own.from(0.5, 0.9, 6, 0.1, -0.3).run(4)));
  EXPECT_FALSE(same_ray_at_1(a, next.decentre(0, 2).from(0.5, 0.9, 6, 0.1, -0.3).run(4)));
}

}  // namespace
}  // namespace varnock
