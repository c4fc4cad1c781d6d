// Whole runs through lens arrays and stops: a fly's-eye homogeniser, a
// lenticular sheet and stops behind them, checked against what their optics
// predict.
//
// Every system starts with the same collimator: a ring source of radius 0.3
// in the front focal plane of a plano-convex lens (R = 10, n = 1.5, focal
// length 20), giving a beam about 7 mm across whose directions vary by about
// 0.3/20 = 0.015 rad. Its weights vanish on the axis (a ray's weight is the
// cosine between its direction and the way from its source point to the
// axis), so the beam is dark in the middle and bright at the rim.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/model.h"
#include "support/run_results.h"
#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace {

using varnock::Grid;
using varnock_test::crlf_lines;
using varnock_test::read_file;
using varnock_test::TestSheet;
using varnock_test::SurfaceRow;
using varnock_test::TempDir;
using varnock_test::write_file;

// Lenslets: pitch 1, plano-convex with R = 1.5 in n = 1.5, so f = 3.
constexpr double LENSLET_CV = 1 / 1.5;
// Condenser: plano-convex with R = 20 in n = 1.5, so F = 40.
constexpr double CONDENSER_CV = 0.05;

TestSheet collimated_beam_sheet() {
  TestSheet s;
  s.THMIN = 0;
  s.THMAX = 0.2;
  s.NPHI = 1500;
  s.NTH = 50;
  s.RSRC = 0.3;
  s.NRING = 12;
  s.NSCAN = 1;
  s.WSCAN = 0;
  s.DXY = 1;
  s.DUV = 0.01;
  s.surfaces = {
      SurfaceRow{0, 18, 0, 0, 1, 0, 0, {1}},      // source, 18 before the collimator
      SurfaceRow{0, 3, 0, 0, 1, 0, 0, {1.5}},     // collimator, plane face
      SurfaceRow{-0.1, 10, 0, 0, 1, 0, 0, {1}},   // collimator, R = 10
      SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}},       // where the homogeniser would start
  };
  return s;
}

// Fly's-eye homogeniser: one plate with a lenslet array on each face, its
// thickness n f = 4.5 the focal distance of the first array in the glass,
// then a condenser of focal length F with the target in its back focal
// plane. Each lenslet of the first array is imaged onto the target, all on
// top of each other, filling a square of side pitch F / f = 13.3 mm.
TestSheet homogeniser_sheet() {
  TestSheet s = collimated_beam_sheet();
  s.surfaces.pop_back();
  s.surfaces.push_back(SurfaceRow{LENSLET_CV, 4.5, 0, 0, 7, 1, 1, {1.5}});
  s.surfaces.push_back(SurfaceRow{-LENSLET_CV, 5, 0, 0, 7, 1, 1, {1}});
  s.surfaces.push_back(SurfaceRow{CONDENSER_CV, 4, 0, 0, 1, 0, 0, {1.5}});
  // Back focal distance of the condenser: F - 4/1.5.
  s.surfaces.push_back(SurfaceRow{0, 37.3, 0, 0, 1, 0, 0, {1}});
  s.surfaces.push_back(SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}});  // target
  return s;
}

// Lenticular sheet: the collimated beam through a plate with cylindrical
// lenslets (pitch 1, R = 1.5, n = 1.5) on its front, then 30 mm of air.
TestSheet lenticular_sheet() {
  TestSheet s = collimated_beam_sheet();
  s.surfaces.pop_back();
  s.surfaces.push_back(SurfaceRow{LENSLET_CV, 2, 0, 0, 5, 1, 0, {1.5}});
  s.surfaces.push_back(SurfaceRow{0, 30, 0, 0, 1, 0, 0, {1}});
  s.surfaces.push_back(SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}});
  return s;
}

struct RunOutcome {
  varnock::Results res;
  std::vector<std::string> report;
};

RunOutcome run(const TestSheet& sheet) {
  TempDir dir;
  write_file(dir / "IN_FM.txt", sheet.text());
  varnock::Session session;
  const varnock::RunResult r = session.run(dir / "IN_FM.txt", dir.path());
  EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.failure().describe());
  return RunOutcome{varnock_test::results_of(r.success()), crlf_lines(read_file(dir / "OUT_M.txt"))};
}

// (max - min) / mean over the (2 half + 1)^2 cells about the centre.
double central_spread(const Grid& g, int half) {
  double lo = g[20][20], hi = g[20][20], sum = 0;
  for (int i = 20 - half; i <= 20 + half; ++i) {
    for (int j = 20 - half; j <= 20 + half; ++j) {
      lo = std::min(lo, g[i][j]);
      hi = std::max(hi, g[i][j]);
      sum += g[i][j];
    }
  }
  return (hi - lo) / (sum / ((2 * half + 1) * (2 * half + 1)));
}

double grid_sum(const Grid& g) {
  double sum = 0;
  for (const auto& column : g) {
    for (double v : column) sum += v;
  }
  return sum;
}

// The largest difference between a grid and its mirror image in its second
// index (y for IXY, V for IUV).
double mirror_difference(const Grid& g) {
  double worst = 0;
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) worst = std::max(worst, std::fabs(g[i][j] - g[i][40 - j]));
  }
  return worst;
}

// ---------------------------------------------------------------------------

TEST(Homogeniser, FlattensTheBeamIntoASquareOfThePredictedSize) {
  const RunOutcome beam = run(collimated_beam_sheet());
  const RunOutcome field = run(homogeniser_sheet());
  ASSERT_GT(field.res.TRANS, 0);

  // The central 5 x 5 cells (+-2.5 mm): the beam entering the homogeniser
  // varies there by more than its mean, the field behind it by the sampling
  // noise of about 60 rays per cell. Measured: 1.21 and 0.15.
  const double beam_spread = central_spread(beam.res.IXY, 2);
  const double field_spread = central_spread(field.res.IXY, 2);
  EXPECT_GT(beam_spread, 1.0);
  EXPECT_LT(field_spread, 0.25);
  EXPECT_LT(field_spread, beam_spread / 5);
  // The same holds over the central 9 x 9 cells (+-4.5 mm).
  EXPECT_LT(central_spread(field.res.IXY, 4), 0.35);

  // The square's half-width is 0.5 * 40 / 3 = 6.7 mm: cells up to 6 from the
  // centre (to 6.5 mm) are full, cells 8 and more away (from 7.5 mm) empty.
  double centre_mean = 0;
  for (int i = 18; i <= 22; ++i) {
    for (int j = 18; j <= 22; ++j) centre_mean += field.res.IXY[i][j] / 25;
  }
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) {
      const int far = std::max(std::abs(i - 20), std::abs(j - 20));
      if (far <= 6) {
        EXPECT_GT(field.res.IXY[i][j], 0.75 * centre_mean) << i << " " << j;
      } else if (far >= 8) {
        EXPECT_EQ(field.res.IXY[i][j], 0) << i << " " << j;
      }
    }
  }
  // Nearly all the light arrives; the beam's steepest rays cross into a
  // neighbouring channel or are reflected inside the plate.
  EXPECT_GT(field.res.RATIO, 0.95);
  EXPECT_EQ(field.res.TOTAL, beam.res.TOTAL);
}

TEST(Homogeniser, TheBundledExampleGivesAFlatField) {
  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r =
      session.run(std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples/homogeniser.txt", dir.path());
  ASSERT_TRUE(r.ok()) << r.failure().describe();
  EXPECT_TRUE(r.success().warnings.empty());
  EXPECT_GT(r.success().totals.ratio, 0.95);
  EXPECT_LT(central_spread(r.success().maps.IXY, 2), 0.25);
}

TEST(Homogeniser, SymmetricSystemGivesASymmetricField) {
  // One source point, at (0.3, 0): the system and the fan are symmetric
  // under y -> -y, and so are the grids.
  TestSheet sheet = homogeniser_sheet();
  sheet.NRING = 1;
  const RunOutcome r = run(sheet);
  ASSERT_GT(r.res.TRANS, 0);
  EXPECT_LE(mirror_difference(r.res.IXY), 1e-9 * r.res.TOTAL);
  EXPECT_LE(mirror_difference(r.res.IUV), 1e-9 * r.res.TOTAL);
}

TEST(Homogeniser, ArraysAnchoredOnTheirDecentresMoveTheFieldNot) {
  // Decentring both arrays by whole pitches leaves the same arrays.
  TestSheet sheet = homogeniser_sheet();
  sheet.NRING = 2;
  sheet.NPHI = 400;
  sheet.NTH = 20;
  const RunOutcome plain = run(sheet);
  sheet.surfaces[3].DX = 3;
  sheet.surfaces[3].DY = -2;
  sheet.surfaces[4].DX = -1;
  sheet.surfaces[4].DY = 5;
  const RunOutcome moved = run(sheet);
  EXPECT_EQ(moved.report, plain.report);
}

TEST(ApertureEndToEnd, RadiusZeroStopsAllLightAndTheTotalStays) {
  TestSheet sheet = homogeniser_sheet();
  sheet.NRING = 3;
  sheet.NPHI = 500;
  sheet.NTH = 25;
  const RunOutcome open = run(sheet);
  ASSERT_GT(open.res.TRANS, 0);

  // The target plane becomes a stop of radius 0.
  sheet.surfaces.back().type = 6;
  sheet.surfaces.back().PA = 0;
  const RunOutcome closed = run(sheet);
  EXPECT_EQ(closed.res.TOTAL, open.res.TOTAL);
  EXPECT_EQ(closed.report[0], open.report[0]);
  EXPECT_EQ(closed.res.TRANS, 0);
  EXPECT_EQ(grid_sum(closed.res.IUV), 0);

  // A stop wider than the grid window changes nothing at all.
  sheet.surfaces.back().PA = 100;
  EXPECT_EQ(run(sheet).report, open.report);
}

TEST(ApertureEndToEnd, StopCutsTheFieldAtItsRadius) {
  TestSheet sheet = homogeniser_sheet();
  sheet.NRING = 3;
  sheet.NPHI = 500;
  sheet.NTH = 25;
  const RunOutcome open = run(sheet);
  sheet.surfaces.back().type = 6;
  sheet.surfaces.back().PA = 3.2;
  const RunOutcome stopped = run(sheet);
  // Cells wholly inside the circle keep their weight, cells wholly outside
  // lose it; the plane behind the stop bends nothing.
  const double half_diagonal = std::sqrt(0.5);
  int inside = 0, outside = 0;
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) {
      const double d = std::hypot(i - 20.0, j - 20.0);
      if (d + half_diagonal < 3.2) {
        EXPECT_EQ(stopped.res.IXY[i][j], open.res.IXY[i][j]) << i << " " << j;
        ++inside;
      } else if (d - half_diagonal >= 3.2) {
        EXPECT_EQ(stopped.res.IXY[i][j], 0) << i << " " << j;
        if (open.res.IXY[i][j] > 0) ++outside;
      }
    }
  }
  EXPECT_GT(inside, 20);
  EXPECT_GT(outside, 100);
  EXPECT_EQ(stopped.res.TOTAL, open.res.TOTAL);
}

TEST(LenticularSheet, SpreadsTheBeamInYOnly) {
  TestSheet sheet = lenticular_sheet();
  sheet.NRING = 1;  // one source point at (0.3, 0): symmetric in y
  const RunOutcome r = run(sheet);
  ASSERT_GT(r.res.TOTAL, 0);
  // Every ray lands inside both windows (the two sums add in different orders).
  EXPECT_NEAR(r.res.TRANS, r.res.TOTAL, 1e-12 * r.res.TOTAL);

  // A ray at a lenslet's edge (y = 0.5 on R = 1.5) meets it at
  // asin(1/3) = 0.340 rad, runs 0.116 rad off the axis in the glass and
  // leaves at asin(1.5 sin 0.116) = 0.174 rad. With the beam's divergence
  // every V lies within 0.195 rad (cells up to 19 from the centre), and the
  // spread reaches past 0.145 rad (cells 15 and more away).
  // In x the cylinders have no power: U stays within the beam's 0.025 rad.
  double v_far = 0;
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) {
      const double w = r.res.IUV[i][j];
      if (w == 0) continue;
      EXPECT_LE(std::abs(i - 20), 2) << i << " " << j;
      EXPECT_LE(std::abs(j - 20), 19) << i << " " << j;
      if (std::abs(j - 20) >= 15) v_far += w;
    }
  }
  EXPECT_GT(v_far, 0.05 * r.res.TOTAL);
  EXPECT_LE(mirror_difference(r.res.IUV), 1e-9 * r.res.TOTAL);
  EXPECT_LE(mirror_difference(r.res.IXY), 1e-9 * r.res.TOTAL);
}

TEST(LenticularSheet, TheSheetDecentreIsIgnoredAndAZeroPitchLosesEverything) {
  TestSheet sheet = lenticular_sheet();
  sheet.NRING = 2;
  sheet.NPHI = 400;
  sheet.NTH = 20;
  const RunOutcome plain = run(sheet);
  ASSERT_GT(plain.res.TRANS, 0);

  sheet.surfaces[3].DY = 0.37;
  sheet.surfaces[3].DX = -2;
  const RunOutcome decentred = run(sheet);
  EXPECT_EQ(decentred.report, plain.report);

  sheet.surfaces[3].PA = 0;
  const RunOutcome zero = run(sheet);
  EXPECT_EQ(zero.res.TOTAL, plain.res.TOTAL);
  EXPECT_EQ(zero.res.TRANS, 0);
}

}  // namespace
