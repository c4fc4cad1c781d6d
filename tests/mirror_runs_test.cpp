// Whole runs of mirror systems through the API, with results a reader can
// check by reasoning: a source at a focus or a centre of curvature is
// imaged or collimated into one cell, a system symmetric about the x-z
// plane gives grids symmetric in y, and the total is the sum of the fan's
// weights worked out here without the tracer.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "model/model.h"
#include "support/run_results.h"
#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace {

using varnock_test::TestSheet;
using varnock_test::SurfaceRow;
using varnock_test::TempDir;
using varnock_test::write_file;

constexpr double PI_15 = 3.14159265358979;

// The total weight of a run, from the sheet alone: every fan direction from
// every source position, counted when its weight (the cosine between the
// direction and the way from the source point to the axis) is not negative.
double weight_total(const TestSheet& s) {
  double total = 0;
  for (int k = 0; k < s.NSCAN; ++k) {
    for (int p = 0; p < s.NRING; ++p) {
      const double a = (6.28 * p) / s.NRING;
      const double x = s.RSRC * std::cos(a), y = s.RSRC * std::sin(a);
      const double r = std::sqrt(x * x + y * y);
      for (int w = 1; w <= s.NSET; ++w) {
        for (int j = 0; j <= s.NTH; ++j) {
          const double theta = s.THMIN + ((s.THMAX - s.THMIN) * j) / s.NTH;
          const double st = std::sin(theta), ct = std::cos(theta);
          const int m = static_cast<int>(std::floor(std::fabs(st * s.NPHI) + 0.5));
          for (int n = 0; n < m; ++n) {
            const double phi = (2 * PI_15 * n) / m;
            // Direction (dx, dy, ct) as the fan lays it out: tan U = dx/ct.
            const double tu = st * std::cos(phi) / ct, tv = st * std::sin(phi) / ct;
            const double q = std::sqrt((1 + tu * tu) + tv * tv);
            const double weight = (tu / q) * (x / r) + (tv / q) * (y / r);
            if (weight >= 0) total += weight;
          }
        }
      }
    }
  }
  return total;
}

// Weight in cells more than `cells` away from the centre along either index.
double weight_outside(const varnock::Grid& g, int cells) {
  double sum = 0;
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) {
      if (std::abs(i - 20) > cells || std::abs(j - 20) > cells) sum += g[i][j];
    }
  }
  return sum;
}

// Mirror symmetry about the x-z plane: cell [i][j] against [i][40 - j].
void expect_symmetric_in_y(const varnock::Grid& g, double tolerance, const char* name) {
  double asymmetry = 0;
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 20; ++j) asymmetry = std::max(asymmetry, std::fabs(g[i][j] - g[i][40 - j]));
  }
  EXPECT_LE(asymmetry, tolerance) << name;
}

// Weighted mean of the U cell offsets of an angular grid, in cells.
double mean_u_cell(const varnock::Grid& g) {
  double moment = 0, sum = 0;
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) {
      moment += (i - 20) * g[i][j];
      sum += g[i][j];
    }
  }
  return moment / sum;
}

struct SheetRun {
  TempDir dir;
  varnock::Session session;
  varnock::RunTotals totals;
  varnock::Results results;
  const varnock::Results& res() const { return results; }
};

void run(SheetRun& r, const TestSheet& sheet) {
  write_file(r.dir / "IN_FM.txt", sheet.text());
  const varnock::RunResult result = r.session.run(r.dir / "IN_FM.txt", r.dir.path());
  ASSERT_TRUE(result.ok()) << result.failure().describe();
  EXPECT_TRUE(result.success().warnings.empty());
  r.totals = result.success().totals;
  r.results = varnock_test::results_of(result.success());
}

// One source point at (RSRC, 0): the system is then symmetric about the x-z
// plane whenever its surfaces are.
TestSheet one_point_source(double rsrc) {
  TestSheet s;
  s.RSRC = rsrc;
  s.NRING = 1;
  s.NSCAN = 1;
  s.WSCAN = 0;
  return s;
}

TEST(MirrorRuns, ParabolicReflectorCollimatesASourceAtItsFocus) {
  // CV = 0.05: f = 10 and the vertex 10 beyond the source plane, so the
  // source sits at the focus. The fan runs to 149 degrees: its cones beyond
  // 90 degrees are backward rays, caught by the far part of the bowl.
  TestSheet sheet = one_point_source(0.01);
  sheet.THMIN = 0.1;
  sheet.THMAX = 2.6;
  sheet.NTH = 10;
  sheet.NPHI = 36;
  sheet.DXY = 4;  // window +-82: the widest hit, at 149 degrees, is 2f tan 74.5 = 72
  sheet.DUV = 0.01;
  sheet.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}}, SurfaceRow{0.05, 20, 0, 0, 3, 0, 0, {1}},
                   SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}}};
  SheetRun r;
  run(r, sheet);
  const varnock::Results& res = r.res();
  const double total = weight_total(sheet);
  ASSERT_GT(total, 0);
  EXPECT_NEAR(res.TOTAL, total, 1e-12 * total);
  // Every ray is caught and leaves parallel to the axis: a source 0.01 off
  // the focus tilts no ray by more than 0.01/f = 0.001 rad, well inside the
  // central angular cell (+-0.005 rad).
  EXPECT_NEAR(res.TRANS, total, 1e-12 * total);
  EXPECT_NEAR(res.IUV[20][20], total, 1e-12 * total);
  // Forward rays from the focus meet the bowl within 2f = 20 of the axis;
  // the weight landing farther out came from backward rays.
  EXPECT_GT(weight_outside(res.IXY, 6), 0.1 * total);
  expect_symmetric_in_y(res.IXY, 1e-9 * total, "IXY");
  expect_symmetric_in_y(res.IUV, 1e-9 * total, "IUV");
}

TEST(MirrorRuns, EllipsoidalReflectorImagesTheFirstFocusOnTheSecond) {
  // f1 = 5, f2 = 45: the vertex 5 beyond the source plane puts the source at
  // the first focus, and the screen 45 beyond the vertex is the second focus
  // in the unfolded system. Forward and backward rays alike end there.
  TestSheet sheet = one_point_source(0.005);
  sheet.THMIN = 0.1;
  sheet.THMAX = 2.9;
  sheet.NTH = 14;
  sheet.NPHI = 40;
  sheet.DXY = 0.5;
  sheet.DUV = 0.2;  // window +-4.1 rad: every direction fits
  sheet.surfaces = {SurfaceRow{0, 5, 0, 0, 1, 0, 0, {1}}, SurfaceRow{5, 45, 0, 0, 8, 45, 0, {1}},
                   SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}}};
  SheetRun r;
  run(r, sheet);
  const varnock::Results& res = r.res();
  const double total = weight_total(sheet);
  ASSERT_GT(total, 0);
  EXPECT_NEAR(res.TOTAL, total, 1e-12 * total);
  // The image of a point 0.005 off the focus is at most 9 times as far off
  // (the magnification f2/f1 near the vertex): inside the central cell.
  EXPECT_NEAR(res.TRANS, total, 1e-12 * total);
  EXPECT_NEAR(res.IXY[20][20], total, 1e-12 * total);
  // It converges on the image from a wide cone (the rays meeting the mirror
  // at its equator, 15 from the axis and 20 from the second focus, arrive
  // at 0.64 rad): the central angular cell holds only a part of it.
  EXPECT_LT(res.IUV[20][20], 0.5 * total);
  EXPECT_GT(weight_outside(res.IUV, 2), 0.02 * total);
  expect_symmetric_in_y(res.IUV, 1e-9 * total, "IUV");
}

TEST(MirrorRuns, ConcaveSphericalMirrorImagesItsCentreOnItself) {
  // CV = -0.01 with the vertex 100 beyond the source plane: the centre of
  // curvature is the source plane's origin. Each ray returns along itself,
  // and the unfold puts the returning light's image at 2 ZS = 200.
  TestSheet sheet = one_point_source(0.01);
  sheet.THMIN = 0.05;
  sheet.THMAX = 0.5;
  sheet.NTH = 9;
  sheet.NPHI = 60;
  sheet.DXY = 0.5;
  sheet.DUV = 0.05;
  sheet.surfaces = {SurfaceRow{0, 100, 0, 0, 1, 0, 0, {1}},
                   SurfaceRow{-0.01, 100, 0, 0, 2, 0, 0, {1}},
                   SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}}};
  SheetRun r;
  run(r, sheet);
  const varnock::Results& res = r.res();
  const double total = weight_total(sheet);
  EXPECT_NEAR(res.TOTAL, total, 1e-12 * total);
  EXPECT_NEAR(res.IXY[20][20], total, 1e-12 * total);
  // Each ray leaves with the negated angles it came in with.
  expect_symmetric_in_y(res.IUV, 1e-9 * total, "IUV");
  EXPECT_LT(mean_u_cell(res.IUV), -1);  // the traced half of the fan heads to -x
}

// A fold mirror: nearly flat (R = 10000), tilted 0.2 rad in the x-z plane.
TestSheet fold_mirror_sheet(int type, double cv, double pa) {
  TestSheet sheet = one_point_source(1);
  sheet.THMIN = 0.005;
  sheet.THMAX = 0.04;
  sheet.NTH = 7;
  sheet.NPHI = 400;
  sheet.DXY = 0.5;
  sheet.DUV = 0.01;
  sheet.surfaces = {SurfaceRow{0, 50, 0, 0, 1, 0, 0, {1}},
                   SurfaceRow{cv, 30, 7, -3, type, pa, 0, {1}},
                   SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}}};
  return sheet;
}

TEST(MirrorRuns, TiltedFoldMirrorMeasuresAnglesFromTheFoldedAxis) {
  const TestSheet tilted = fold_mirror_sheet(9, -1e-4, 0.2);
  SheetRun fold;
  run(fold, tilted);
  const varnock::Results& res = fold.res();
  const double total = weight_total(tilted);
  ASSERT_GT(total, 0);
  EXPECT_NEAR(res.TOTAL, total, 1e-12 * total);
  // Reflected at 2 x 0.2 rad from the axis, the light would miss the
  // angular window (+-0.205 rad) altogether; measured from the folded axis
  // it all stays within the fan's 0.04 rad (4 cells) and a little more.
  EXPECT_NEAR(res.TRANS, total, 1e-12 * total);
  EXPECT_NEAR(weight_outside(res.IUV, 5), 0, 1e-12 * total);
  // The tilt lies in the x-z plane (and the sheet's decentres are not used).
  expect_symmetric_in_y(res.IXY, 1e-9 * total, "IXY");
  expect_symmetric_in_y(res.IUV, 1e-9 * total, "IUV");

  // In the plane of the tilt a flat tilted mirror keeps every angle, as an
  // untilted plane mirror does: the angular maps agree in the mean.
  SheetRun plane;
  run(plane, fold_mirror_sheet(2, 0, 0));
  EXPECT_NEAR(mean_u_cell(res.IUV), mean_u_cell(plane.res().IUV), 0.05);
  EXPECT_GT(mean_u_cell(res.IUV), 1);
}

TEST(MirrorRuns, TheBundledReflectorExample) {
  // A lamp ring of radius 0.5 within 0.5 of the focus of a reflector with
  // f = 10: every ray is caught, and none leaves more than about
  // 0.5/10 + 0.5/10 rad off the axis (10 angular cells).
  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r =
      session.run(std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples/reflector.txt", dir.path());
  ASSERT_TRUE(r.ok()) << r.failure().describe();
  EXPECT_TRUE(r.success().warnings.empty());
  const varnock::Results res = varnock_test::results_of(r.success());
  EXPECT_NEAR(res.TRANS, res.TOTAL, 1e-12 * res.TOTAL);  // summed in another order
  EXPECT_GT(res.TOTAL, 0);
  EXPECT_EQ(weight_outside(res.IUV, 10), 0);
  EXPECT_GT(weight_outside(res.IUV, 3), 0.05 * res.TOTAL);  // a beam, not a line
  EXPECT_EQ(varnock_test::crlf_lines(varnock_test::read_file(dir / "OUT_M.txt")).size(), 132u);
}

}  // namespace
