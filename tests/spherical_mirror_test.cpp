// The spherical mirror (type 2) and the tilted spherical mirror (type 9),
// checked against closed-form reflection on a sphere and the worked numbers
// of the mirrors' users.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "support/mirror_step.h"
#include "trace/bend_step.h"
#include "trace/surface_models.h"

namespace varnock {
namespace {

using varnock_test::MirrorStep;
using varnock_test::NOT_A_NUMBER;

// The law of reflection worked out with vectors, independently of the
// tracer: the ray line from o along the unit direction d meets the sphere
// of centre c and radius R at p (where it enters the sphere when `entering`,
// else where it leaves it), and leaves along d - 2 (d.n) n.
struct Reflection {
  double px, py, pz;  // hit point
  double rx, ry, rz;  // reflected direction
};
Reflection reflect_on_sphere(const double o[3], const double d[3], const double c[3], double R,
                             bool entering) {
  const double w[3] = {o[0] - c[0], o[1] - c[1], o[2] - c[2]};
  const double b = d[0] * w[0] + d[1] * w[1] + d[2] * w[2];
  const double cc = w[0] * w[0] + w[1] * w[1] + w[2] * w[2] - R * R;
  const double t = entering ? -b - std::sqrt(b * b - cc) : -b + std::sqrt(b * b - cc);
  Reflection f{o[0] + t * d[0], o[1] + t * d[1], o[2] + t * d[2], 0, 0, 0};
  const double n[3] = {(f.px - c[0]) / R, (f.py - c[1]) / R, (f.pz - c[2]) / R};
  const double dn = d[0] * n[0] + d[1] * n[1] + d[2] * n[2];
  f.rx = d[0] - 2 * dn * n[0];
  f.ry = d[1] - 2 * dn * n[1];
  f.rz = d[2] - 2 * dn * n[2];
  return f;
}

// The unit direction of a ray with angles u, v taken as travelling to +z.
void direction_of(double u, double v, double d[3]) {
  const double n = std::sqrt(1 + std::tan(u) * std::tan(u) + std::tan(v) * std::tan(v));
  d[0] = -std::tan(u) / n;
  d[1] = -std::tan(v) / n;
  d[2] = 1 / n;
}

// ---------------------------------------------------------------------------
// Spherical mirror

TEST(SphericalMirror, PlaneMirrorLeavesTheUnfoldedRayUnchanged) {
  MirrorStep step(2, 0, 4);
  step.decentre(3, -2);  // a plane has no axis to decentre
  step.ray.sc.DCOS = 11;
  step.ray.sc.DSIN = 12;
  step.ray.sc.QA = 13;
  const varnock_test::SteppedRay& r = step.from(0.5, -0.2, 0, 0.25, -0.1).run();
  EXPECT_EQ(r.Z[1], 4);
  EXPECT_EQ(r.X[1], 0.5 - std::tan(0.25) * 4);
  EXPECT_EQ(r.Y[1], -0.2 - std::tan(-0.1) * 4);
  EXPECT_NEAR(r.U[1], 0.25, 1e-15);
  EXPECT_NEAR(r.V[1], -0.1, 1e-15);
  // Reflection keeps its hands off the refraction fields; a plane computes
  // no quadratic.
  EXPECT_EQ(r.sc.DCOS, 11);
  EXPECT_EQ(r.sc.DSIN, 12);
  EXPECT_EQ(r.sc.QA, 13);
}

TEST(SphericalMirror, AxialRayReturnsAlongTheAxis) {
  for (double cv : {0.5, -0.5}) {
    MirrorStep step(2, cv, 0);
    const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0, 0).run();
    EXPECT_EQ(r.Z[1], 0) << cv;
    EXPECT_EQ(r.X[1], 0) << cv;
    EXPECT_EQ(r.U[1], 0) << cv;
    EXPECT_EQ(r.V[1], 0) << cv;
  }
}

TEST(SphericalMirror, ParallelRayAtHeightTwoTurnsByTwiceTheSlope) {
  // U' = -2 asin(h CV); the hit at ZS + R - sqrt(R^2 - h^2), mirrored in
  // the vertex plane.
  MirrorStep convex(2, 0.1, 5);
  const varnock_test::SteppedRay& a = convex.from(2, 0, 0, 0, 0).run();
  EXPECT_NEAR(a.Z[1], 4.797959, 5e-7);
  EXPECT_NEAR(a.Z[1], 10 - (15 - std::sqrt(96.0)), 1e-13);
  EXPECT_NEAR(a.U[1], -0.402716, 5e-7);
  EXPECT_NEAR(a.U[1], -2 * std::asin(0.2), 1e-14);
  EXPECT_EQ(a.X[1], 2);
  EXPECT_EQ(a.V[1], 0);

  MirrorStep concave(2, -0.1, 5);
  const varnock_test::SteppedRay& b = concave.from(2, 0, 0, 0, 0).run();
  EXPECT_NEAR(b.Z[1], 5.202041, 5e-7);
  EXPECT_NEAR(b.U[1], 0.402716, 5e-7);  // towards the axis
  EXPECT_NEAR(b.U[1], 2 * std::asin(0.2), 1e-14);
}

TEST(SphericalMirror, RayAlongTheNormalTurnsBack) {
  // From the centre of a concave mirror every ray meets it along the normal.
  MirrorStep step(2, -0.1, 0);
  const varnock_test::SteppedRay& r = step.from(0, 0, -10, 0.2, -0.1).run();
  EXPECT_FALSE(std::isnan(r.U[1]));
  EXPECT_NEAR(r.U[1], -0.2, 1e-7);
  EXPECT_NEAR(r.V[1], 0.1, 1e-7);
}

TEST(SphericalMirror, AgreesWithTheLawOfReflection) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> angle(-0.3, 0.3), pos(-2, 2);
  for (double cv : {0.04, -0.04}) {
    for (int i = 0; i < 200; ++i) {
      const double dx = pos(rng), dy = pos(rng);
      const double o[3] = {pos(rng), pos(rng), -3};
      const double u = angle(rng), v = angle(rng);
      MirrorStep step(2, cv, 6);
      step.decentre(dx, dy);
      const varnock_test::SteppedRay& r = step.from(o[0], o[1], o[2], u, v).run();

      double d[3];
      direction_of(u, v, d);
      const double c[3] = {dx, dy, 6 + 1 / cv};
      // The vertex half: entering a sphere beyond the vertex, leaving one
      // whose centre lies before it.
      const Reflection f = reflect_on_sphere(o, d, c, std::fabs(1 / cv), cv > 0);
      EXPECT_NEAR(r.X[1], f.px, 1e-11);
      EXPECT_NEAR(r.Y[1], f.py, 1e-11);
      EXPECT_NEAR(r.Z[1], 12 - f.pz, 1e-11);
      EXPECT_NEAR(r.U[1], std::atan(f.rx / f.rz), 1e-11);
      EXPECT_NEAR(r.V[1], std::atan(f.ry / f.rz), 1e-11);
    }
  }
}

TEST(SphericalMirror, RayMissingTheMirrorIsNotANumberThroughout) {
  MirrorStep step(2, 0.5, 5);
  const varnock_test::SteppedRay& r = step.from(3, 0, 0, 0, 0).run();
  EXPECT_TRUE(std::isnan(r.X[1]));
  EXPECT_TRUE(std::isnan(r.Y[1]));
  EXPECT_TRUE(std::isnan(r.Z[1]));
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(SphericalMirror, CurvatureThatIsNotANumberMirrorsTheOldHeight) {
  MirrorStep step(2, NOT_A_NUMBER, 5);
  step.ray.Z[1] = 7.5;  // left by an earlier ray
  const varnock_test::SteppedRay& r = step.from(1, 0, 0, 0.1, 0).run();
  EXPECT_EQ(r.X[1], 1 - std::tan(0.1) * 7.5);  // transferred before the unfold
  EXPECT_EQ(r.Z[1], 2 * 5 - 7.5);
  EXPECT_TRUE(std::isnan(r.U[1]));
  EXPECT_TRUE(std::isnan(r.V[1]));
}

TEST(SphericalMirror, ReadsNoIndexAndLeavesTheRayFlagAlone) {
  MirrorStep step(2, -0.05, 3, NOT_A_NUMBER, NOT_A_NUMBER);
  step.ray.RAYOK = 0;
  step.ray.sc.DCOS = 11;
  step.ray.sc.DSIN = 12;
  const varnock_test::SteppedRay& r = step.from(1, 0.5, 0, 0.1, -0.05).run();
  EXPECT_TRUE(std::isfinite(r.U[1]));
  EXPECT_TRUE(std::isfinite(r.V[1]));
  EXPECT_EQ(r.RAYOK, 0);
  EXPECT_EQ(r.sc.DCOS, 11);
  EXPECT_EQ(r.sc.DSIN, 12);
}

// ---------------------------------------------------------------------------
// Tilted spherical mirror

TEST(TiltedMirror, WithoutTiltItIsTheCentredSphericalMirror) {
  for (double cv : {0.02, -0.02}) {
    MirrorStep tilted(9, cv, 7);
    tilted.decentre(3, -2);  // the sheet's decentres are never used
    const varnock_test::SteppedRay& a = tilted.from(1.5, -0.5, 0, 0.12, 0.07).run();
    EXPECT_EQ(tilted.surface(9).tilt_DX, 0);
    EXPECT_EQ(tilted.surface(9).tilt_DY, 0);
    MirrorStep plain(2, cv, 7);
    const varnock_test::SteppedRay& b = plain.from(1.5, -0.5, 0, 0.12, 0.07).run();
    EXPECT_NEAR(a.X[1], b.X[1], 1e-12) << cv;
    EXPECT_NEAR(a.Y[1], b.Y[1], 1e-12) << cv;
    EXPECT_NEAR(a.Z[1], b.Z[1], 1e-12) << cv;
    EXPECT_NEAR(a.U[1], b.U[1], 1e-12) << cv;
    EXPECT_NEAR(a.V[1], b.V[1], 1e-12) << cv;
  }
}

TEST(TiltedMirror, OneTiltSendsTheAxialRayAlongTheFoldedAxis) {
  struct Case {
    double cv, pa, pb;
  };
  for (const Case& c :
       {Case{0.01, 0.3, 0}, Case{-0.01, 0.3, 0}, Case{0.02, 0, -0.25}, Case{-0.05, 0, 0.4}}) {
    MirrorStep step(9, c.cv, 100, c.pa, c.pb);
    const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0, 0).run();
    const double nz =
        std::sqrt(1 - std::sin(c.pa) * std::sin(c.pa) - std::sin(c.pb) * std::sin(c.pb));
    EXPECT_NEAR(r.sc.NX, -std::sin(c.pa), 1e-12) << c.cv;
    EXPECT_NEAR(r.sc.NY, -std::sin(c.pb), 1e-12) << c.cv;
    EXPECT_NEAR(r.sc.NZ, nz, 1e-12) << c.cv;
    EXPECT_EQ(r.X[1], 0);
    EXPECT_EQ(r.Y[1], 0);
    EXPECT_NEAR(r.Z[1], 100, 1e-11) << c.cv;
    EXPECT_NEAR(r.U[1], 0, 1e-13) << c.cv;
    EXPECT_NEAR(r.V[1], 0, 1e-13) << c.cv;
  }
}

TEST(TiltedMirror, TwoTiltsLeaveTheAxialRayOffTheAxis) {
  const double pa = 0.15, pb = -0.1;
  MirrorStep step(9, 0.01, 100, pa, pb);
  const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0, 0).run();
  EXPECT_NEAR(r.U[1], -4.536e-3, 5e-7);
  EXPECT_NEAR(r.V[1], 6.973e-3, 5e-7);
  // Reflected on the normal (-sin PA, -sin PB, nz), F = 2 nz N - E, and
  // measured from the folded axis: U = atan(FX/FZ) + 2 PA.
  const double nx = -std::sin(pa), ny = -std::sin(pb);
  const double nz = std::sqrt(1 - nx * nx - ny * ny);
  EXPECT_NEAR(r.U[1], std::atan(2 * nz * nx / (2 * nz * nz - 1)) + 2 * pa, 1e-13);
  EXPECT_NEAR(r.V[1], std::atan(2 * nz * ny / (2 * nz * nz - 1)) + 2 * pb, 1e-13);
  EXPECT_EQ(r.X[1], 0);
  EXPECT_EQ(r.Y[1], 0);
  EXPECT_NEAR(r.Z[1], 100, 1e-11);
}

TEST(TiltedMirror, AgreesWithTheLawOfReflectionOnTheMovedSphere) {
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> angle(-0.2, 0.2), tilt(-0.4, 0.4), pos(-3, 3);
  for (double cv : {0.03, -0.03}) {
    for (int i = 0; i < 200; ++i) {
      const double pa = tilt(rng), pb = tilt(rng);
      const double o[3] = {pos(rng), pos(rng), 0};
      const double u = angle(rng), v = angle(rng);
      MirrorStep step(9, cv, 20, pa, pb);
      const varnock_test::SteppedRay& r = step.from(o[0], o[1], o[2], u, v).run();

      // The sphere through (0, 0, 20) whose normal there leans by the tilts.
      const double R = std::fabs(1 / cv);
      const double nx = -std::sin(pa), ny = -std::sin(pb);
      const double nz = std::sqrt(1 - nx * nx - ny * ny);
      const double sign = cv > 0 ? 1 : -1;
      const double c[3] = {sign * nx * R, sign * ny * R, 20 + sign * nz * R};
      double d[3];
      direction_of(u, v, d);
      const Reflection f = reflect_on_sphere(o, d, c, R, cv > 0);
      EXPECT_NEAR(step.surface(9).tilt_DX, c[0], 1e-12);
      EXPECT_NEAR(step.surface(9).tilt_DY, c[1], 1e-12);
      EXPECT_NEAR(r.X[1], f.px, 1e-10);
      EXPECT_NEAR(r.Y[1], f.py, 1e-10);
      EXPECT_NEAR(r.Z[1], 40 - f.pz, 1e-10);
      EXPECT_NEAR(r.U[1], std::atan(f.rx / f.rz) + 2 * pa, 1e-11);
      EXPECT_NEAR(r.V[1], std::atan(f.ry / f.rz) + 2 * pb, 1e-11);
    }
  }
}

TEST(TiltedMirror, TheMovedSphereComesFromTheTiltsAndTheVertexStays) {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> z(-1e3, 1e3), tilt(-0.6, 0.6), curv(-0.2, 0.2);
  for (int i = 0; i < 500; ++i) {
    const double z0 = i % 3 == 0 ? 0.1 * i : z(rng);
    const double cv = i % 50 == 0 ? 0 : curv(rng);
    const double pa = tilt(rng), pb = tilt(rng);
    MirrorStep step(9, cv, z0, pa, pb);
    step.decentre(9, 9);
    const SurfaceStep ss = step.surface(9);
    // The unfold works about the vertex plane the sheet gives, bit for bit.
    ASSERT_EQ(std::memcmp(&ss.ZS, &z0, sizeof z0), 0) << z0;
    const double dx = -std::sin(pa) / cv, dy = -std::sin(pb) / cv;
    if (cv != 0) {
      EXPECT_EQ(ss.tilt_DX, dx);
      EXPECT_EQ(ss.tilt_DY, dy);
      // The moved sphere still passes through the axis point (0, 0, z0).
      const double R = 1 / cv;
      const double cz = ss.tilt_ZS + R;
      EXPECT_NEAR(dx * dx + dy * dy + (z0 - cz) * (z0 - cz), R * R, 1e-9 * (1 + R * R)) << i;
    }
  }
}

TEST(TiltedMirror, FlatOrOverTiltedMirrorGivesNoRay) {
  struct Case {
    double cv, pa, pb;
  };
  for (const Case& c :
       {Case{0, 0, 0}, Case{0, 0.2, 0.1}, Case{0.05, 1.2, 1.2}, Case{NOT_A_NUMBER, 0.1, 0}}) {
    MirrorStep step(9, c.cv, 10, c.pa, c.pb);
    const varnock_test::SteppedRay& r = step.from(0.5, 0.5, 0, 0.01, 0.02).run();
    EXPECT_TRUE(std::isnan(r.U[1])) << c.cv << " " << c.pa;
    EXPECT_TRUE(std::isnan(r.V[1])) << c.cv << " " << c.pa;
  }
  MirrorStep flat(9, 0, 10, 0.2, 0);
  flat.from(0, 0, 0, 0, 0).run();
  EXPECT_TRUE(std::isinf(flat.surface(9).tilt_DX));
  EXPECT_TRUE(std::isnan(flat.surface(9).tilt_DY));  // -sin(0)/0
  EXPECT_TRUE(std::isnan(flat.ray.X[1]));
  EXPECT_TRUE(std::isnan(flat.ray.Z[1]));
}

TEST(TiltedMirror, BackwardAnglesAreTracedAsForward) {
  MirrorStep forward(9, 0.02, 10, 0.1, 0.05);
  const varnock_test::SteppedRay& a = forward.from(1, 1, 0, 0.2, -0.1).run();
  MirrorStep backward(9, 0.02, 10, 0.1, 0.05);
  const varnock_test::SteppedRay& b = backward.from(1, 1, 0, 0.2 + RUN_PI, -0.1 - RUN_PI).run();
  EXPECT_GT(backward.ray.sc.EZ, 0);
  EXPECT_NEAR(a.U[1], b.U[1], 1e-13);
  EXPECT_NEAR(a.V[1], b.V[1], 1e-13);
  EXPECT_NEAR(a.Z[1], b.Z[1], 1e-12);
}

TEST(TiltedMirror, ReadsNoIndexAndLeavesDcosDsinAndTheRayFlagAlone) {
  MirrorStep step(9, -0.02, 10, 0.1, -0.2);
  step.ray.RAYOK = 0;
  step.ray.sc.DCOS = 11;
  step.ray.sc.DSIN = 12;
  const varnock_test::SteppedRay& r = step.from(1, 0.5, 0, 0.1, -0.05).run();
  EXPECT_TRUE(std::isfinite(r.U[1]));
  EXPECT_EQ(r.RAYOK, 0);
  EXPECT_EQ(r.sc.DCOS, 11);
  EXPECT_EQ(r.sc.DSIN, 12);
}

TEST(MirrorDispatch, TypeCodesSelectTheMirrors) {
  EXPECT_TRUE(varnock_test::traces_with(2, surf2<ScalarLanes>));
  EXPECT_TRUE(varnock_test::traces_with(3, surf3<ScalarLanes>));
  EXPECT_TRUE(varnock_test::traces_with(8, surf8<ScalarLanes>));
  EXPECT_TRUE(varnock_test::traces_with(9, surf9<ScalarLanes>));
}

}  // namespace
}  // namespace varnock
