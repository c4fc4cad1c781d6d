// The ellipsoidal mirror (type 8): light from the first focus passes through
// the second (mirrored in the vertex plane), forward and backward, with and
// without a decentre; CV = 0 is a plane mirror.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "support/mirror_step.h"
#include "trace/bend_step.h"
#include "trace/surface_geometry.h"
#include "trace/surface_models.h"

namespace varnock {
namespace {

using varnock_test::angles_of_direction;
using varnock_test::MirrorStep;
using varnock_test::NOT_A_NUMBER;
using varnock_test::x_at;
using varnock_test::y_at;

// f1 = 4, f2 = 12: a = 8, b = sqrt 48; vertex at z = 10, first focus at 6,
// second at -2 (mirrored: 22), far vertex at -6.
constexpr double F1 = 4, F2 = 12, ZS = 10, A = 8, B2 = 48;

void expect_bitwise_equal(const varnock_test::SteppedRay& a, const varnock_test::SteppedRay& b, const char* what) {
  EXPECT_EQ(std::memcmp(&a.X[1], &b.X[1], sizeof(double)), 0) << what;
  EXPECT_EQ(std::memcmp(&a.Y[1], &b.Y[1], sizeof(double)), 0) << what;
  EXPECT_EQ(std::memcmp(&a.Z[1], &b.Z[1], sizeof(double)), 0) << what;
  EXPECT_EQ(std::memcmp(&a.U[1], &b.U[1], sizeof(double)), 0) << what;
  EXPECT_EQ(std::memcmp(&a.V[1], &b.V[1], sizeof(double)), 0) << what;
}

TEST(EllipsoidalMirror, ForwardAxialRayMeetsTheVertex) {
  MirrorStep step(8, F1, ZS, F2);
  const varnock_test::SteppedRay& r = step.from(0, 0, 0, 0, 0).run();
  EXPECT_EQ(r.X[1], 0);
  EXPECT_EQ(r.Y[1], 0);
  EXPECT_EQ(r.Z[1], ZS);
  EXPECT_EQ(r.U[1], 0);
  EXPECT_EQ(r.V[1], 0);
  EXPECT_EQ(r.sc.NX, 0);
  EXPECT_EQ(r.sc.NY, 0);
  EXPECT_EQ(r.sc.NZ, 1);
  EXPECT_EQ(r.sc.WLEN, 0);
}

TEST(EllipsoidalMirror, BackwardAxialRayMeetsTheFarVertex) {
  for (double angle : {RUN_PI, -RUN_PI}) {
    MirrorStep step(8, F1, ZS, F2);
    const varnock_test::SteppedRay& r = step.from(0, 0, 0, angle, angle).run();
    EXPECT_LT(r.sc.EZ, 0);
    EXPECT_NEAR(r.Z[1], ZS + 2 * A, 1e-12);  // hit at ZS - 2a, mirrored
    EXPECT_NEAR(r.X[1], 0, 1e-12);
    EXPECT_NEAR(r.U[1], 0, 1e-13);
    EXPECT_NEAR(r.V[1], 0, 1e-13);
  }
}

// Rays in every direction from the first focus of a mirror whose axis is
// at (dx, dy): each must leave on a line through (dx, dy, ZS + f2), and each
// hit point as stored must lie on the ellipsoid.
void check_focus_to_focus(double dx, double dy) {
  std::mt19937_64 rng(23);
  std::uniform_real_distribution<double> polar(0.05, 3.09), azimuth(0, 6.28);
  int backward = 0;
  for (int i = 0; i < 500; ++i) {
    const double t = polar(rng), p = azimuth(rng);
    if (std::fabs(t - 1.5708) < 0.02) continue;  // too steep to check by slope
    const auto [u, v] =
        angles_of_direction(std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t));
    const bool forward = travels_forward<ScalarLanes>(RUN_PI, u, v);
    if (!forward) ++backward;
    MirrorStep step(8, F1, ZS, F2);
    step.decentre(dx, dy);
    const varnock_test::SteppedRay& r = step.from(dx, dy, ZS - F1, u, v).run();

    const double reach = std::max(1.0, std::fabs(std::tan(r.U[1])) + std::fabs(std::tan(r.V[1])));
    EXPECT_NEAR(x_at(r, ZS + F2), dx, 1e-11 * reach) << t << " " << p;
    EXPECT_NEAR(y_at(r, ZS + F2), dy, 1e-11 * reach) << t << " " << p;

    const double hx = r.X[1] - dx, hy = r.Y[1] - dy, hz = 2 * ZS - r.Z[1];
    EXPECT_NEAR((hz - ZS + A) * (hz - ZS + A) / (A * A) + (hx * hx + hy * hy) / B2, 1, 1e-12);
    // F is the reflected direction reversed for a forward ray, and for a
    // backward ray (worked out in the turned frame) the reflected direction
    // itself: F.N = E.N or -E.N.
    const TraceScratch& q = r.sc;
    const double en = q.EX * q.NX + q.EY * q.NY + q.EZ * q.NZ;
    const double fn = q.FX * q.NX + q.FY * q.NY + q.FZ * q.NZ;
    EXPECT_GT(en, 0);
    EXPECT_NEAR(fn, forward ? en : -en, 1e-12);
    // Each meets the mirror the way it travels: a forward ray above its
    // source, a backward one below.
    EXPECT_EQ(hz > ZS - F1, forward) << t << " " << p;
  }
  EXPECT_GT(backward, 100);
}

TEST(EllipsoidalMirror, FromTheFirstFocusThroughTheSecond) { check_focus_to_focus(0, 0); }

TEST(EllipsoidalMirror, DecentredMirrorStillImagesFocusOnFocus) {
  // Backward rays are turned about the mirror's own axis, so this holds for
  // them too.
  check_focus_to_focus(1.5, -0.7);
}

TEST(EllipsoidalMirror, BackwardHitIsStoredTurnedAboutTheMirrorsAxis) {
  for (double dx : {0.0, 1.5}) {
    const double dy = -dx / 2;
    MirrorStep step(8, F1, ZS, F2);
    step.decentre(dx, dy);
    const double u = 2.6, v = -2.9;
    const varnock_test::SteppedRay& r = step.from(0.3, 0.2, 1, u, v).run();
    const double hz = 2 * ZS - r.Z[1];
    // The point where the incoming line meets the far cap ...
    const double line_x = 0.3 - std::tan(u) * (hz - 1);
    const double line_y = 0.2 - std::tan(v) * (hz - 1);
    // ... is stored half a turn about (dx, dy).
    EXPECT_NEAR(r.X[1], 2 * dx - line_x, 1e-12) << dx;
    EXPECT_NEAR(r.Y[1], 2 * dy - line_y, 1e-12) << dx;
  }
}

TEST(EllipsoidalMirror, HalfPiCountsAsBackward) {
  MirrorStep step(8, F1, ZS, F2);
  step.from(0, 0, ZS - F1, RUN_PI / 2, 0).run();
  EXPECT_LT(step.ray.sc.EZ, 0);
  MirrorStep just_below(8, F1, ZS, F2);
  just_below.from(0, 0, ZS - F1, std::nextafter(RUN_PI / 2, 0.0), 0).run();
  EXPECT_GT(just_below.ray.sc.EZ, 0);
}

TEST(EllipsoidalMirror, EqualFocalDistancesMakeASphere) {
  // f1 = f2 = 5: the sphere of radius 5 centred 5 before the vertex, which
  // the spherical mirror describes with CV = -1/5.
  std::mt19937_64 rng(29);
  std::uniform_real_distribution<double> angle(-0.4, 0.4), pos(-2, 2);
  for (int i = 0; i < 100; ++i) {
    const double x = pos(rng), y = pos(rng), u = angle(rng), v = angle(rng);
    MirrorStep ellipsoid(8, 5, 8, 5);
    MirrorStep sphere(2, -0.2, 8);
    const varnock_test::SteppedRay& a = ellipsoid.from(x, y, 4, u, v).run();
    const varnock_test::SteppedRay& b = sphere.from(x, y, 4, u, v).run();
    EXPECT_NEAR(a.X[1], b.X[1], 1e-12);
    EXPECT_NEAR(a.Y[1], b.Y[1], 1e-12);
    EXPECT_NEAR(a.Z[1], b.Z[1], 1e-12);
    EXPECT_NEAR(a.U[1], b.U[1], 1e-12);
    EXPECT_NEAR(a.V[1], b.V[1], 1e-12);
  }
}

TEST(EllipsoidalMirror, ZeroFirstFocalDistanceIsAPlaneMirror) {
  struct Ray {
    double x, y, z, u, v;
  };
  for (const Ray& in : {Ray{0.5, -0.3, 0, 0.2, 0.1}, Ray{1, 1, 2, 2.8, -3.0}}) {
    MirrorStep plane(2, 0, 6);
    plane.decentre(1, -1);
    const varnock_test::SteppedRay& expected = plane.from(in.x, in.y, in.z, in.u, in.v).run();

    // Whatever earlier rays and steps left behind plays no part.
    MirrorStep fresh(8, 0, 6, 7);
    fresh.decentre(1, -1);
    MirrorStep used(8, 0, 6, -3);
    used.decentre(1, -1);
    used.ray.X[1] = 99;
    used.ray.Y[1] = -99;
    used.ray.Z[1] = 42;
    used.ray.sc.EX = 0.6;
    used.ray.sc.EY = 0.8;
    used.ray.sc.EZ = -0.1;
    used.ray.sc.NX = 1;
    const varnock_test::SteppedRay& a = fresh.from(in.x, in.y, in.z, in.u, in.v).run();
    const varnock_test::SteppedRay& b = used.from(in.x, in.y, in.z, in.u, in.v).run();
    expect_bitwise_equal(a, expected, "fresh");
    expect_bitwise_equal(b, expected, "used");
    EXPECT_EQ(a.Z[1], 6);
  }
}

TEST(EllipsoidalMirror, ImpossibleShapesAndMissesGiveNoRay) {
  struct Case {
    double f1, f2, x;
  };
  for (const Case& c :
       {Case{4, -12, 0.5}, Case{4, 0, 0.5}, Case{4, 12, 20}, Case{NOT_A_NUMBER, 12, 0.5}}) {
    MirrorStep step(8, c.f1, ZS, c.f2);
    const varnock_test::SteppedRay& r = step.from(c.x, 0, 0, 0, 0).run();
    EXPECT_TRUE(std::isnan(r.Z[1])) << c.f1 << " " << c.f2 << " " << c.x;
    EXPECT_TRUE(std::isnan(r.X[1])) << c.f1 << " " << c.f2 << " " << c.x;
    EXPECT_TRUE(std::isnan(r.U[1])) << c.f1 << " " << c.f2 << " " << c.x;
    EXPECT_TRUE(std::isnan(r.V[1])) << c.f1 << " " << c.f2 << " " << c.x;
  }
}

TEST(EllipsoidalMirror, ReadsNoIndexAndLeavesDcosDsinAndTheRayFlagAlone) {
  for (double u : {0.2, 2.9}) {
    MirrorStep step(8, F1, ZS, F2, NOT_A_NUMBER);
    step.ray.RAYOK = 0;
    step.ray.sc.DCOS = 11;
    step.ray.sc.DSIN = 12;
    const varnock_test::SteppedRay& r = step.from(0.5, 0.5, ZS - F1, u, 0.1).run();
    EXPECT_TRUE(std::isfinite(r.U[1])) << u;
    EXPECT_EQ(r.RAYOK, 0);
    EXPECT_EQ(r.sc.DCOS, 11);
    EXPECT_EQ(r.sc.DSIN, 12);
  }
}

TEST(MirrorStages, ReversingTheOutgoingDirectionSparesAnUnchangedRay) {
  TraceScratch q;
  q.FX = 0.1;
  q.FY = -0.2;
  q.FZ = 0.9;
  q.WLEN = 0;  // F = E: nothing to turn back
  reverse_outgoing_direction<ScalarLanes>(q, true);
  EXPECT_EQ(q.FX, 0.1);
  EXPECT_EQ(q.FZ, 0.9);
  q.WLEN = NOT_A_NUMBER;
  reverse_outgoing_direction<ScalarLanes>(q, false);  // a forward ray keeps its F
  EXPECT_EQ(q.FX, 0.1);
  reverse_outgoing_direction<ScalarLanes>(q, true);
  EXPECT_EQ(q.FX, -0.1);
  EXPECT_EQ(q.FY, 0.2);
  EXPECT_EQ(q.FZ, -0.9);
}

TEST(MirrorStages, BackwardIncomingDirections) {
  TraceScratch forward, reversed, turned;
  for (TraceScratch* q : {&forward, &reversed, &turned}) {
    q->TU = 0.3;
    q->TV = -0.4;
  }
  incoming_direction<ScalarLanes>(forward);
  directed_incoming_direction<ScalarLanes>(reversed, false);
  half_turned_incoming_direction<ScalarLanes>(turned, false);
  // The paraboloid reverses E; the ellipsoid negates only EZ.
  EXPECT_EQ(reversed.EX, -forward.EX);
  EXPECT_EQ(reversed.EY, -forward.EY);
  EXPECT_EQ(reversed.EZ, -forward.EZ);
  EXPECT_EQ(turned.EX, forward.EX);
  EXPECT_EQ(turned.EY, forward.EY);
  EXPECT_EQ(turned.EZ, -forward.EZ);
}

}  // namespace
}  // namespace varnock
