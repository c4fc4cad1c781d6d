// The numbers and drawings of the report: map statistics on maps whose
// answers are known, the drawing's geometry where it can be reasoned out,
// and the warnings of a check on sheets made to trigger them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "model/model.h"
#include "report/map_statistics.h"
#include "report/sheet_check.h"
#include "report/system_view.h"
#include "run/run_driver.h"
#include "support/sheet_builder.h"

namespace varnock {
namespace {

using varnock_test::SurfaceRow;
using varnock_test::TempDir;
using varnock_test::TestSheet;

TEST(MapStatistics, ATentOfKnownShape) {
  // A tent along x centred on cell 24 (x = 2 with pitch 0.5), height 4 falling
  // 1 a cell, in the row y cell 20; a second row at half height.
  GridValues g{};
  for (int i = 20; i <= 28; ++i) g[i][20] = 4 - std::abs(i - 24);
  for (int i = 20; i <= 28; ++i) g[i][21] = g[i][20] / 2;
  const std::optional<MapStatistics> s = map_statistics(g, 0.5);
  ASSERT_TRUE(s);
  EXPECT_DOUBLE_EQ(s->sum, 16 + 8);
  EXPECT_EQ(s->peak, 4);
  EXPECT_EQ(s->peak_cell, (std::array<int, 2>{24, 20}));
  EXPECT_DOUBLE_EQ(s->peak_at[0], 2);
  EXPECT_DOUBLE_EQ(s->centroid[0], 2);  // symmetric about x = 2
  EXPECT_NEAR(s->centroid[1], (0 * 16 + 0.5 * 8) / 24.0, 1e-12);
  // Half the peak is 2, reached two cells either side: FWHM 4 cells.
  EXPECT_DOUBLE_EQ(s->fwhm[0], 2.0);
  // Down the column the value halves in one cell: to 2 exactly at y = 0.5,
  // and below y = 0 it drops to 0 across one cell (crossing at -0.25).
  EXPECT_DOUBLE_EQ(s->fwhm[1], 0.5 + 0.25);
  // Cells at or above 2: 2, 3, 4, 3, 2 and the 2 of the second row.
  const double mean = (2 + 3 + 4 + 3 + 2 + 2) / 6.0;
  EXPECT_DOUBLE_EQ(s->uniformity_min_mean, 2 / mean);
  EXPECT_EQ(s->lit_cells, 14);
  EXPECT_FALSE(s->mean_rays_per_lit_cell);
}

TEST(MapStatistics, AnEvenFieldAndAnEmptyMap) {
  GridValues flat{};
  GridCounts rays{};
  for (int i = 10; i <= 30; ++i) {
    for (int j = 10; j <= 30; ++j) {
      flat[i][j] = 2.5;
      rays[i][j] = 40;
    }
  }
  const std::optional<MapStatistics> s = map_statistics(flat, 1, &rays);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->uniformity_min_mean, 1);
  EXPECT_EQ(s->uniformity_std_mean, 0);
  EXPECT_EQ(s->centroid, (std::array<double, 2>{0, 0}));
  // Uniform over 21 cells: variance (21^2 - 1)/12 cells^2.
  EXPECT_NEAR(s->rms_width[0], std::sqrt((21.0 * 21 - 1) / 12), 1e-12);
  // A flat top: the half crossings fall one half cell outside the field.
  EXPECT_DOUBLE_EQ(s->fwhm[0], 21);
  EXPECT_EQ(*s->mean_rays_per_lit_cell, 40);
  EXPECT_FALSE(map_statistics(GridValues{}, 1));
}

SystemState loaded(const TestSheet& sheet, TempDir& dir) {
  varnock_test::write_file(dir / "IN_FM.txt", sheet.text());
  Model model;
  std::vector<std::string> warnings;
  const FanPlan plan = load_sheet(model, dir / "IN_FM.txt", warnings);
  build_fan(model.sys, plan, SourcePoint{}, nullptr, 1);
  return model.sys;
}

double z_at_height(const DrawnSurface& d, double y) {
  double best = NAN, distance = 1e300;
  for (const auto& line : d.lines) {
    for (const ZY& q : line) {
      if (std::fabs(q.y - y) < distance) {
        distance = std::fabs(q.y - y);
        best = q.z;
      }
    }
  }
  return best;
}

TEST(SystemDrawing, PlaneSphereAndParaboloidWhereTheyBelong) {
  TempDir dir;
  TestSheet sheet;
  sheet.THMAX = 0.3;
  sheet.NRING = 1;
  sheet.RSRC = 0.01;
  sheet.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}},      // source to the plane: 10
                    SurfaceRow{0, 5, 0, 0, 1, 0, 0, {1.5}},      // plane at z = 10
                    SurfaceRow{-0.05, 30, 0, 0, 1, 0, 0, {1}}};  // sphere R = -20 at z = 15
  const SystemState sys = loaded(sheet, dir);
  const SystemLayout layout = system_layout(sys);
  ASSERT_EQ(layout.surfaces.size(), 2u);
  for (const auto& line : layout.surfaces[0].lines) {
    for (const ZY& q : line) EXPECT_EQ(q.z, 10);
  }
  // The sphere's sag at height h: z = 15 + (1 - sqrt(1 - CV^2 h^2)) / CV.
  const DrawnSurface& sphere = layout.surfaces[1];
  double rim = 0;
  for (const auto& line : sphere.lines) {
    for (const ZY& q : line) rim = std::max(rim, std::fabs(q.y));
  }
  ASSERT_GT(rim, 1);
  EXPECT_NEAR(z_at_height(sphere, rim), 15 + (1 - std::sqrt(1 - 0.0025 * rim * rim)) / -0.05, 1e-9);
  EXPECT_FALSE(layout.rays.empty());

  // A paraboloid of focal distance 10 with the source at its focus: every
  // ray leaves parallel to the axis.
  TestSheet reflector;
  reflector.THMIN = 0.3;
  reflector.THMAX = 2.6;  // backward rays too
  reflector.NTH = 6;
  reflector.NRING = 1;
  reflector.RSRC = 1e-6;
  reflector.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}},
                        SurfaceRow{0.05, 40, 0, 0, 3, 0, 0, {1}},
                        SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}}};
  TempDir dir2;
  const SystemLayout r = system_layout(loaded(reflector, dir2));
  int checked = 0;
  for (const DrawnRay& ray : r.rays) {
    ASSERT_FALSE(ray.lost);
    ASSERT_EQ(ray.pieces.size(), 2u);  // broken once, at the mirror
    const auto& after = ray.pieces[1];
    for (const ZY& q : after) EXPECT_NEAR(q.y, after.front().y, 1e-6);
    // The hit lies on the paraboloid z = 10 - (x^2 + y^2) / 40 (the vertex
    // at 10), so at or below 10 - y^2/40 in the drawing.
    const ZY hit = ray.pieces[0].back();
    EXPECT_LE(hit.z, 10 - hit.y * hit.y / 40 + 1e-9);
    ++checked;
  }
  EXPECT_GT(checked, 4);
}

TEST(SystemDrawing, AStoppedRayEndsAtTheStop) {
  TempDir dir;
  TestSheet sheet;
  sheet.THMAX = 0.4;
  sheet.NRING = 1;
  sheet.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}},
                    SurfaceRow{0, 10, 0, 0, 6, 2, 0, {1}},  // a stop of radius 2 at z = 10
                    SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}}};
  const SystemLayout layout = system_layout(loaded(sheet, dir));
  int stopped = 0, passed = 0;
  for (const DrawnRay& ray : layout.rays) {
    const ZY end = ray.pieces.back().back();
    if (ray.lost) {
      ++stopped;
      EXPECT_EQ(end.z, 10);  // where it crossed the stop's plane
    } else {
      ++passed;
      EXPECT_GT(end.z, 20);  // drawn on past the last surface
    }
  }
  EXPECT_GT(stopped, 0);
  EXPECT_GT(passed, 0);
  EXPECT_TRUE(layout.surfaces[0].stop);
}

TEST(SheetCheck, SizesTheRunAndWarnsOfLikelyMistakes) {
  TempDir dir;
  TestSheet sheet;
  sheet.NRING = 3;
  sheet.NSCAN = 2;
  sheet.SELI = 45;
  sheet.DUV = 0;
  sheet.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}},
                    SurfaceRow{0.1, 3, 0, 0, 7, 0, 2, {1.5}},  // a lens array of pitch 0
                    SurfaceRow{0, 3, 0, 0, 6, 0, 0, {1}},      // a stop of radius 0
                    SurfaceRow{0, 3, 0, 0, 12, 0, 0, {0}}};    // an unknown code, index 0
  varnock_test::write_file(dir / "s.txt", sheet.text());
  const SheetCheck c = check_sheet(dir / "s.txt", RunOptions{});
  EXPECT_EQ(c.source_positions, 6);
  EXPECT_EQ(c.surfaces, 3);
  EXPECT_EQ(c.steps, c.rays_traced * 3);
  EXPECT_FALSE(c.estimated);
  // The count matches a run's.
  Session session;
  const RunResult run = session.run(dir / "s.txt", dir.path());
  ASSERT_TRUE(run.ok());
  EXPECT_EQ(c.rays_traced, run.success().totals.rays_traced);
  auto warned = [&](const std::string& part) {
    return std::any_of(c.warnings.begin(), c.warnings.end(),
                       [&](const std::string& w) { return w.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(warned("DUV is 0"));
  EXPECT_TRUE(warned("selected cell (45, 20)"));
  EXPECT_TRUE(warned("surface 1: a lens array with a pitch of 0"));
  EXPECT_TRUE(warned("surface 2: a stop of radius 0"));
  EXPECT_TRUE(warned("surface 3: type code 12"));
  EXPECT_TRUE(warned("surface 3: refractive index 0"));
  EXPECT_EQ(c.table.rows.size(), 4u);
  EXPECT_EQ(c.table.rows[1][1], "lens array");

  TestSheet idle;
  idle.NSCAN = 0;
  varnock_test::write_file(dir / "idle.txt", idle.text());
  const SheetCheck i = check_sheet(dir / "idle.txt", RunOptions{});
  EXPECT_EQ(i.rays_traced, 0);
  EXPECT_EQ(i.estimated_seconds, 0);
  EXPECT_NE(i.warnings.front().find("nothing will be traced"), std::string::npos);
}

}  // namespace
}  // namespace varnock
