// The fan of ray directions and its listing.
#include "source/fan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <cstdio>

#include "accum/binning.h"
#include "support/sheet_builder.h"

namespace varnock {
namespace {

using varnock_test::crlf_lines;
using varnock_test::TempDir;

struct Built {
  SystemState sys;
  std::vector<std::string> listing;
  std::string text;
};

Built build(double thmin, double thmax, int nth, int nphi, unsigned threads = 1) {
  Built b;
  b.sys.PI = RUN_PI;
  b.sys.params.THMIN = thmin;
  b.sys.params.THMAX = thmax;
  b.sys.params.NTH = nth;
  b.sys.params.NPHI = nphi;
  TempDir dir;
  {
    OutputFile listing(dir / "OUT_MI.txt");
    EXPECT_TRUE(build_fan(b.sys, plan_fan(b.sys.params, MAX_FAN_RAYS), SourcePoint{}, &listing,
                          threads));
    listing.close();
  }
  b.text = varnock_test::read_file(dir / "OUT_MI.txt");
  b.listing = crlf_lines(b.text);
  return b;
}

std::string f6(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%f", v);
  return buffer;
}

TEST(Fan, ConesGetAzimuthsInProportionToTheirSine) {
  const Built b = build(0, 1.5707963, 2, 8);
  EXPECT_EQ(b.sys.fan.NRAY, 14);  // 0 + 6 + 8
  EXPECT_EQ(count_fan_rays(b.sys.params, MAX_FAN_RAYS), 14);
  ASSERT_EQ(b.listing.size(), 15u);
  EXPECT_EQ(b.listing[0], "X[NUMB]\tY[NUMB]\tZ[NUMB]\tU[NUMB]\tV[NUMB]");
  EXPECT_EQ(b.listing[1], "0.000000\t0.000000\t0.000000\t0.785398\t0.000000");
  EXPECT_EQ(f6(b.sys.fan.UFAN[1]), "0.785398");
  // Every listed ray is the one stored in its slot.
  for (int n = 1; n <= b.sys.fan.NRAY; ++n) {
    EXPECT_EQ(b.listing[n], "0.000000\t0.000000\t0.000000\t" + f6(b.sys.fan.UFAN[n]) + "\t" +
                                f6(b.sys.fan.VFAN[n]));
  }
}

TEST(Fan, ChunksMadeOnSeveralThreadsGiveTheSerialFanAndListing) {
  // About 157,000 rays on 400 cones: chunks start and end inside cones.
  const Built one = build(0.05, 2.4, 399, 500, 1);
  const Built three = build(0.05, 2.4, 399, 500, 3);
  ASSERT_GT(one.sys.fan.NRAY, 100000);
  EXPECT_EQ(one.text, three.text);
  EXPECT_EQ(one.sys.fan.UFAN, three.sys.fan.UFAN);
  EXPECT_EQ(one.sys.fan.VFAN, three.sys.fan.VFAN);
  EXPECT_EQ(one.listing.size(), static_cast<std::size_t>(one.sys.fan.NRAY) + 1);
  // The values kept for every source position are those of each ray's own
  // angles, and the rays are the serial order's: cone by cone, azimuth by
  // azimuth.
  const FanTable& fan = three.sys.fan;
  std::size_t n = 0;
  for (int j = 0; j <= 399; ++j) {
    const double theta = cone_angle(three.sys.params, j);
    const int m = cone_azimuths(std::sin(theta), 500);
    for (int k = 0; k < m; ++k) {
      ++n;
      const double phi = (2 * RUN_PI * k) / m;
      const double dx = std::sin(theta) * std::cos(phi);
      if (std::cos(theta) > 0) {
        ASSERT_EQ(fan.UFAN[n], std::atan(dx / std::cos(theta))) << n;
      }
      ASSERT_EQ(fan.TU[n], std::tan(fan.UFAN[n])) << n;
      ASSERT_EQ(fan.TV[n], std::tan(fan.VFAN[n])) << n;
    }
  }
  EXPECT_EQ(n, static_cast<std::size_t>(fan.NRAY));
  for (std::size_t i : {std::size_t{1}, n / 2, n}) {
    const PlaneDirection d = fan_direction(std::tan(fan.UFAN[i]), std::tan(fan.VFAN[i]));
    EXPECT_EQ(fan.EX[i], d.x);
    EXPECT_EQ(fan.EY[i], d.y);
  }
}

TEST(Fan, EqualConesAreLaidOutWithoutVisitingEach) {
  RunParams p;
  p.NTH = 2147483647;
  p.NPHI = 0;  // no cone holds a ray
  EXPECT_EQ(plan_fan(p, MAX_FAN_RAYS).rays, 0);
  EXPECT_FALSE(plan_fan(p, MAX_FAN_RAYS).too_many_cones);
  p.NPHI = 8;
  p.THMIN = p.THMAX = 0.5;  // every cone the same: 2^31 cones of 4 rays
  EXPECT_GT(plan_fan(p, MAX_FAN_RAYS).rays, MAX_FAN_RAYS);
  p.THMIN = p.THMAX = 0.01;  // 8 sin 0.01 < 0.5: no rays anywhere
  EXPECT_EQ(plan_fan(p, MAX_FAN_RAYS).rays, 0);
  p.THMAX = std::numeric_limits<double>::infinity();  // no angle is finite
  EXPECT_EQ(plan_fan(p, MAX_FAN_RAYS).rays, 0);
  // Cones that differ must be looked at one by one: past 20 million, the
  // sheet is refused.
  p.THMIN = 0.01;
  p.THMAX = 0.02;
  const FanPlan many = plan_fan(p, MAX_FAN_RAYS);
  EXPECT_TRUE(many.too_many_cones);
  p.NTH = 1000;
  EXPECT_FALSE(plan_fan(p, MAX_FAN_RAYS).too_many_cones);
  // Equal cones give the same fan as visiting them would.
  RunParams a;
  a.NTH = 5;
  a.NPHI = 10;
  a.THMIN = a.THMAX = 0.7;
  const FanPlan equal = plan_fan(a, MAX_FAN_RAYS);
  EXPECT_EQ(equal.rays, 6 * cone_azimuths(std::sin(0.7), 10));
  EXPECT_EQ(equal.cones.size(), 6u);
}

TEST(Fan, StopsWhenCancelled) {
  SystemState sys;
  sys.PI = RUN_PI;
  sys.params.THMAX = 1;
  sys.params.NTH = 100;
  sys.params.NPHI = 1000;
  const std::atomic<bool> cancel{true};
  EXPECT_FALSE(build_fan(sys, plan_fan(sys.params, MAX_FAN_RAYS), SourcePoint{}, nullptr, 2, &cancel));
}

TEST(Fan, NegativeAzimuthCountGivesTheSameFan) {
  const Built plus = build(0, 1.5707963, 2, 8);
  const Built minus = build(0, 1.5707963, 2, -8);
  EXPECT_EQ(plus.sys.fan.UFAN, minus.sys.fan.UFAN);
  EXPECT_EQ(plus.sys.fan.VFAN, minus.sys.fan.VFAN);
}

TEST(Fan, DegenerateCountsGiveAnEmptyFanWithAHeader) {
  for (const auto& [nth, nphi] : {std::pair{2, 0}, std::pair{0, 8}, std::pair{-1, 8}}) {
    const Built b = build(0.2, 1.0, nth, nphi);
    EXPECT_EQ(b.sys.fan.NRAY, 0) << nth << " " << nphi;
    EXPECT_EQ(b.listing.size(), 1u) << nth << " " << nphi;
  }
}

TEST(Fan, AzimuthCountsBeyondThe32BitRangeMakeNoRay) {
  EXPECT_EQ(cone_azimuths(1.0, std::numeric_limits<int>::min()), 0);  // 2^31 does not fit
  EXPECT_EQ(cone_azimuths(std::nan(""), 8), 0);
  EXPECT_EQ(cone_azimuths(0.0624, 8), 0);  // 0.4992 rounds down
  EXPECT_EQ(cone_azimuths(0.0625, 8), 1);  // exactly a half rounds up
}

TEST(Fan, BackwardConesAreMovedHalfATurnAwayFromZero) {
  // Just past 90 degrees: the first azimuth has dy = 0 and takes -PI.
  // NTH = 1 with THMIN = THMAX makes two identical cones.
  const Built past = build(1.6, 1.6, 1, 4);
  ASSERT_EQ(past.sys.fan.NRAY, 8);
  EXPECT_EQ(past.sys.fan.VFAN[1], -RUN_PI);
  EXPECT_GT(past.sys.fan.UFAN[1], RUN_PI / 2);

  const Built two = build(2, 2, 1, 8);
  ASSERT_EQ(two.sys.fan.NRAY, 14);  // 8 sin 2 = 7.27 -> 7 per cone
  EXPECT_EQ(two.listing[1], "0.000000\t0.000000\t0.000000\t2.000000\t-3.141593");
  // The shift keeps the tangent of every angle.
  for (int n = 1; n <= two.sys.fan.NRAY; ++n) {
    const double phi = 2 * RUN_PI * ((n - 1) % 7) / 7;
    EXPECT_NEAR(std::tan(two.sys.fan.UFAN[n]), std::sin(2.0) * std::cos(phi) / std::cos(2.0), 1e-9);
    EXPECT_GE(std::fabs(two.sys.fan.UFAN[n]), RUN_PI / 2);
  }
}

TEST(Fan, KeepsEveryRayOfALargeFan) {
  // One cone at 90 degrees with 12000 azimuths.
  const Built b = build(1.5707963267948966, 1.5707963267948966, 1, 6000);
  EXPECT_EQ(b.sys.fan.NRAY, 12000);
  EXPECT_EQ(b.listing.size(), 12001u);
  EXPECT_EQ(b.listing.back(), "0.000000\t0.000000\t0.000000\t" + f6(b.sys.fan.UFAN[12000]) + "\t" +
                                  f6(b.sys.fan.VFAN[12000]));
}

TEST(Fan, CountingStopsOnceTheLimitIsPassed) {
  RunParams p;
  p.THMIN = 1;
  p.THMAX = 1;
  p.NTH = 2147483647;  // two billion cones: counting must not visit them all
  p.NPHI = 100;
  EXPECT_GT(count_fan_rays(p, 1000), 1000);
  EXPECT_LE(count_fan_rays(p, 1000), 1000 + 100);
}

TEST(Fan, ListingShowsTheSourcePointAsItStands) {
  SystemState sys;
  sys.PI = RUN_PI;
  sys.params.THMIN = 0.5;
  sys.params.THMAX = 0.5;
  sys.params.NTH = 1;
  sys.params.NPHI = 4;
  TempDir dir;
  OutputFile listing(dir / "fan.txt");
  build_fan(sys, plan_fan(sys.params, MAX_FAN_RAYS), SourcePoint{-1.25, 0.0015927}, &listing, 1);
  listing.close();
  const auto lines = crlf_lines(varnock_test::read_file(dir / "fan.txt"));
  ASSERT_EQ(lines.size(), 5u);  // two cones of 2 rays: 4 sin 0.5 = 1.92 -> 2
  EXPECT_EQ(lines[1].substr(0, 28), "-1.250000\t0.001593\t0.000000\t");
}

}  // namespace
}  // namespace varnock
