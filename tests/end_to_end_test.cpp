// Whole runs through the API, checking the result files byte for byte
// where the expected bytes follow from the sheet by a short independent
// computation, and the structure of the files everywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "model/model.h"
#include "support/run_results.h"
#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace {

using varnock_test::crlf_lines;
using varnock_test::read_file;
using varnock_test::TestSheet;
using varnock_test::SurfaceRow;
using varnock_test::TempDir;
using varnock_test::write_file;

constexpr double PI_15 = 3.14159265358979;
const std::string TOTAL_LABEL = "\x83\x67\x81\x5B\x83\x5E\x83\x8B\x8C\xF5\x90\xFC\x90\x94";
const std::string TRANS_LABEL = "\x93\xA7\x89\xDF\x8C\xF5\x90\xFC\x90\x94";
const std::string RATIO_LABEL = "\x93\xA7\x89\xDF\x8C\xF5\x90\xFC\x94\xE4";

std::string printf_text(const char* format, double v) {
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, format, v);
  return std::strcmp(buffer, "-nan") == 0 ? "nan" : buffer;
}

// ---------------------------------------------------------------------------
// An independent account of a run with no surfaces: every traced ray ends
// where it starts, so the grids hold the source positions and the fan angles.

struct Expected {
  double grid_xy[41][41] = {};
  double grid_uv[41][41] = {};
  double grid_uvp[41][41] = {};
  // The smoothed grids: each binned ray shared among the four cell centres
  // about it, in proportion to its nearness along each axis.
  double smooth_xy[41][41] = {};
  double smooth_uv[41][41] = {};
  double smooth_uvp[41][41] = {};
  double total = 0;
  std::vector<std::pair<double, double>> fan;
};

int cell(double v, double pitch) {
  const double c = std::floor(v / pitch + 20 + 0.5);
  return (c >= 0 && c <= 40) ? static_cast<int>(c) : -1;
}

void share_bilinearly(double g[41][41], double weight, double a, double b, double pitch) {
  const double fa = a / pitch + 20, fb = b / pitch + 20;
  const int ia = static_cast<int>(std::floor(fa)), ib = static_cast<int>(std::floor(fb));
  for (int da = 0; da < 2; ++da) {
    for (int db = 0; db < 2; ++db) {
      const int i = ia + da, k = ib + db;
      if (i < 0 || i > 40 || k < 0 || k > 40) continue;
      const double near_a = da == 1 ? fa - ia : 1 - (fa - ia);
      const double near_b = db == 1 ? fb - ib : 1 - (fb - ib);
      g[i][k] += weight * near_a * near_b;
    }
  }
}

Expected no_surface_run(const TestSheet& s) {
  Expected e;
  for (int j = 0; j <= s.NTH; ++j) {
    const double theta = s.THMIN + ((s.THMAX - s.THMIN) * j) / s.NTH;
    const double st = std::sin(theta), ct = std::cos(theta);
    const double m = std::floor(std::fabs(st * s.NPHI) + 0.5);
    for (int k = 0; k < m; ++k) {
      const double phi = (2 * PI_15 * k) / m;
      const double dx = st * std::cos(phi), dy = st * std::sin(phi);
      double u = std::atan(dx / ct), v = std::atan(dy / ct);
      if (!(ct > 0)) {
        u = (dx > 0 ? PI_15 : -PI_15) + std::atan(dx / ct);
        v = (dy > 0 ? PI_15 : -PI_15) + std::atan(dy / ct);
      }
      e.fan.emplace_back(u, v);
    }
  }
  for (int k = 0; k < s.NSCAN; ++k) {
    for (int j = 0; j < s.NRING; ++j) {
      const double a = (6.28 * j) / s.NRING;
      const double x = s.RSRC * std::cos(a), y = s.RSRC * std::sin(a);
      for (int w = 1; w <= s.NSET; ++w) {
        for (const auto& [u, v] : e.fan) {
          const double tu = std::tan(u), tv = std::tan(v);
          const double q = std::sqrt((1 + tu * tu) + tv * tv);
          const double r = std::sqrt(x * x + y * y);
          const double weight = (tu / q) * (x / r) + (tv / q) * (y / r);
          if (!(weight >= 0)) continue;
          const int ix = cell(x, s.DXY), iy = cell(y, s.DXY);
          const int iu = cell(u, s.DUV), iv = cell(v, s.DUV);
          if (ix >= 0 && iy >= 0 && iu >= 0 && iv >= 0) {
            e.grid_xy[ix][iy] += weight;
            e.grid_uv[iu][iv] += weight;
            if (ix == s.SELI && iy == s.SELJ) e.grid_uvp[iu][iv] += weight;
            share_bilinearly(e.smooth_xy, weight, x, y, s.DXY);
            share_bilinearly(e.smooth_uv, weight, u, v, s.DUV);
            if (ix == s.SELI && iy == s.SELJ) share_bilinearly(e.smooth_uvp, weight, u, v, s.DUV);
          }
          e.total += weight;
        }
      }
    }
  }
  return e;
}

std::string grid_text(const double g[41][41]) {
  std::string out;
  for (int j = 0; j < 41; ++j) {
    for (int i = 0; i < 41; ++i) out += printf_text("%10.6f", g[i][j]) + "\t";
    out += "\r\n";
  }
  return out;
}

std::string report_text(const TestSheet& s, const Expected& e) {
  double trans = 0;
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) trans += e.grid_xy[i][j];
  }
  std::string out;
  out += TOTAL_LABEL + "\t\t" + printf_text("%f", e.total) + "\r\n";
  out += TRANS_LABEL + "\t\t" + printf_text("%f", trans) + "\r\n";
  out += RATIO_LABEL + "\t\t" + printf_text("%f", trans / e.total) + "\r\n";
  out += "\r\nIXY[i][j](" + printf_text("%f", s.DXY) + "mm)\r\n" + grid_text(e.grid_xy);
  out += "\r\nIUV[i][j](" + printf_text("%f", s.DUV) + "rad)\r\n" + grid_text(e.grid_uv);
  out += "\r\nIUV_P[i][j](" + std::to_string(s.SELI) + "-" + std::to_string(s.SELJ) + ")\r\n" +
         grid_text(e.grid_uvp);
  return out;
}

std::string listing_text(const Expected& e, double x0, double y0) {
  std::string out = "X[NUMB]\tY[NUMB]\tZ[NUMB]\tU[NUMB]\tV[NUMB]\r\n";
  for (const auto& [u, v] : e.fan) {
    out += printf_text("%f", x0) + "\t" + printf_text("%f", y0) + "\t0.000000\t" +
           printf_text("%f", u) + "\t" + printf_text("%f", v) + "\r\n";
  }
  return out;
}

// A source ring with no surfaces; the last of the four cones is a backward
// one, whose rays leave the angle window and count in the total only.
TestSheet no_surface_sheet() {
  TestSheet s;
  s.THMIN = 0.05;
  s.THMAX = 1.8;
  s.NTH = 3;
  s.NPHI = 40;
  s.RSRC = 1.3;
  s.NRING = 5;
  s.NSCAN = 2;
  s.WSCAN = 1;
  s.DXY = 0.25;
  s.DUV = 0.02;
  s.SELI = 25;
  s.SELJ = 20;
  s.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1.0}}};
  return s;
}

varnock::RunResult run_sheet(varnock::Session& session, const TempDir& dir, const TestSheet& sheet) {
  write_file(dir / "IN_FM.txt", sheet.text());
  return session.run(dir / "IN_FM.txt", dir.path());
}

// ---------------------------------------------------------------------------

TEST(EndToEnd, NoSurfacesBinsTheSourcePositionsAndFanAngles) {
  const TestSheet sheet = no_surface_sheet();
  const Expected expected = no_surface_run(sheet);
  ASSERT_GT(expected.total, 0);

  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r = run_sheet(session, dir, sheet);
  ASSERT_TRUE(r.ok()) << r.failure().describe();
  EXPECT_EQ(read_file(dir / "OUT_M.txt"), report_text(sheet, expected));
  EXPECT_EQ(read_file(dir / "OUT_MI.txt"), listing_text(expected, 0, 0));
  EXPECT_TRUE(std::filesystem::exists(dir / "OUT_MR.txt"));
  EXPECT_EQ(std::filesystem::file_size(dir / "OUT_MR.txt"), 0u);
  EXPECT_EQ(r.success().totals.fan_rays, static_cast<std::int64_t>(expected.fan.size()));
  EXPECT_EQ(r.success().totals.source_positions, 10);
  EXPECT_EQ(r.success().totals.total, expected.total);
}

// The smoothed maps of the same run against the account above, and the
// same files as a run without them. The fast tracer leaves the same rays
// when there is no surface, and so the same smoothed grids, bit for bit.
TEST(EndToEnd, SmoothedMapsShareEachBinnedRayAmongTheFourNearestCentres) {
  // IUV_P: the rays of the ring point at (1.3, 0), in plain cell (25, 20).
  const TestSheet sheet = no_surface_sheet();
  const Expected expected = no_surface_run(sheet);
  TempDir dir;
  write_file(dir / "IN_FM.txt", sheet.text());
  varnock::RunOptions options;
  options.smoothed_maps = true;
  varnock::Session session;
  const varnock::RunResult r = session.run(dir / "IN_FM.txt", dir.path(), options);
  ASSERT_TRUE(r.ok()) << r.failure().describe();
  EXPECT_EQ(read_file(dir / "OUT_M.txt"), report_text(sheet, expected));
  ASSERT_TRUE(r.success().maps.smoothed.has_value());
  const varnock::SmoothedGrids& g = *r.success().maps.smoothed;
  double spread_out = 0;  // weight the smoothing moved off the plain cells
  for (int i = 0; i < 41; ++i) {
    for (int k = 0; k < 41; ++k) {
      const double tolerance = 1e-13 * expected.total;
      EXPECT_NEAR(g.IXY[i][k], expected.smooth_xy[i][k], tolerance) << "IXY " << i << " " << k;
      EXPECT_NEAR(g.IUV[i][k], expected.smooth_uv[i][k], tolerance) << "IUV " << i << " " << k;
      EXPECT_NEAR(g.IUV_P[i][k], expected.smooth_uvp[i][k], tolerance) << "IUV_P " << i << " " << k;
      spread_out += std::fabs(g.IXY[i][k] - r.success().maps.IXY[i][k]);
    }
  }
  // The ring points lie 0.2 to 0.4 of a pitch off their cell centres in x.
  EXPECT_GT(spread_out, 0.2 * r.success().totals.transmitted);

  options.fast = true;
  const varnock::RunResult fast = session.run(dir / "IN_FM.txt", dir.path(), options);
  if (!fast.ok() && fast.failure().kind == varnock::FailureKind::Unsupported) {
    GTEST_SKIP() << "no fast mode here";
  }
  ASSERT_TRUE(fast.ok()) << fast.failure().describe();
  ASSERT_TRUE(fast.success().maps.smoothed.has_value());
  const varnock::SmoothedGrids& f = *fast.success().maps.smoothed;
  EXPECT_EQ(std::memcmp(&f, &g, sizeof g), 0);
}

TEST(EndToEnd, AxialScanMovesTheSystemFromMinusHalfTheWidthInSteps) {
  // Two identical rays (U = 0.1 in the x-z plane) from the source at
  // (1, 0) cross a plane between equal indices at z = ZS[0], landing at
  // x = 1 - tan(0.1) ZS[0]: each scan step shows up as its own x cell.
  TestSheet sheet;
  sheet.THMIN = 0.1;
  sheet.THMAX = 0.1;
  sheet.NTH = 1;
  sheet.NPHI = 10;  // 10 sin 0.1 = 0.998: one azimuth per cone
  sheet.RSRC = 1;
  sheet.NRING = 1;
  sheet.DXY = 0.01;
  sheet.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1}}, SurfaceRow{0, 0, 0, 0, 1, 0, 0, {1}}};
  const double weight = 2 * std::sin(0.1);
  auto x_cell = [&](double zs) { return cell(1 - std::tan(0.1) * zs, sheet.DXY); };

  struct Case {
    int nscan;
    std::vector<double> vertex_positions;
  };
  for (const Case& c : {Case{1, {9}}, Case{4, {9, 9.5, 10, 10.5}}}) {
    sheet.NSCAN = c.nscan;
    sheet.WSCAN = 2;
    TempDir dir;
    varnock::Session session;
    const varnock::RunResult run = run_sheet(session, dir, sheet);
    ASSERT_TRUE(run.ok());
    const varnock::Results res = varnock_test::results_of(run.success());
    double seen = 0;
    for (double zs : c.vertex_positions) {
      EXPECT_NEAR(res.IXY[x_cell(zs)][20], weight, 1e-15) << c.nscan << " steps, ZS " << zs;
      seen += res.IXY[x_cell(zs)][20];
    }
    EXPECT_EQ(res.TRANS, seen) << c.nscan;
    EXPECT_EQ(res.IXY[x_cell(11)][20], 0) << "the scan stops one step short of +WSCAN/2";
  }
}

TEST(EndToEnd, SecondRunListsTheSourcePointTheFirstEndedOn) {
  const TestSheet sheet = no_surface_sheet();
  const Expected expected = no_surface_run(sheet);
  TempDir dir;
  varnock::Session session;
  ASSERT_TRUE(run_sheet(session, dir, sheet).ok());
  const std::string first_report = read_file(dir / "OUT_M.txt");
  ASSERT_TRUE(run_sheet(session, dir, sheet).ok());
  // Last ring position of the last scan step: j = NRING - 1.
  const double a = (6.28 * (sheet.NRING - 1)) / sheet.NRING;
  EXPECT_EQ(read_file(dir / "OUT_MI.txt"),
            listing_text(expected, sheet.RSRC * std::cos(a), sheet.RSRC * std::sin(a)));
  // The grids and totals start afresh.
  EXPECT_EQ(read_file(dir / "OUT_M.txt"), first_report);
}

TEST(EndToEnd, ReportHasItsFixedShape) {
  TestSheet sheet = no_surface_sheet();
  sheet.SELI = 50;
  sheet.SELJ = -1;
  TempDir dir;
  varnock::Session session;
  ASSERT_TRUE(run_sheet(session, dir, sheet).ok());
  const std::vector<std::string> lines = crlf_lines(read_file(dir / "OUT_M.txt"));
  ASSERT_EQ(lines.size(), 132u);
  EXPECT_EQ(lines[0].substr(0, TOTAL_LABEL.size() + 2), TOTAL_LABEL + "\t\t");
  EXPECT_EQ(lines[1].substr(0, TRANS_LABEL.size() + 2), TRANS_LABEL + "\t\t");
  EXPECT_EQ(lines[2].substr(0, RATIO_LABEL.size() + 2), RATIO_LABEL + "\t\t");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "IXY[i][j](0.250000mm)");
  EXPECT_EQ(lines[46], "");
  EXPECT_EQ(lines[47], "IUV[i][j](0.020000rad)");
  EXPECT_EQ(lines[89], "");
  EXPECT_EQ(lines[90], "IUV_P[i][j](50--1)");
  std::string zero_line;
  for (int i = 0; i < 41; ++i) zero_line += "  0.000000\t";
  for (int n = 91; n < 132; ++n) EXPECT_EQ(lines[n], zero_line) << n;
  for (int n : {5, 45, 48, 88}) {
    EXPECT_EQ(std::count(lines[n].begin(), lines[n].end(), '\t'), 41) << n;
    EXPECT_EQ(lines[n].back(), '\t') << n;
  }
}

TEST(EndToEnd, NothingTracedGivesZeroTotalsAndANanRatio) {
  struct Case {
    const char* what;
    int nscan, nring;
    double rsrc;
    bool passes_run;
  };
  for (const Case& c : {Case{"NSCAN = 0", 0, 4, 1, false}, Case{"NRING = 0", 2, 0, 1, false},
                        Case{"NSCAN < 0", -3, 4, 1, false}, Case{"RSRC = 0", 2, 4, 0, true}}) {
    TestSheet sheet = no_surface_sheet();
    sheet.NSCAN = c.nscan;
    sheet.NRING = c.nring;
    sheet.RSRC = c.rsrc;
    TempDir dir;
    varnock::Session session;
    const varnock::RunResult r = run_sheet(session, dir, sheet);
    ASSERT_TRUE(r.ok()) << c.what;
    const std::vector<std::string> lines = crlf_lines(read_file(dir / "OUT_M.txt"));
    ASSERT_EQ(lines.size(), 132u) << c.what;
    EXPECT_EQ(lines[0], TOTAL_LABEL + "\t\t0.000000") << c.what;
    EXPECT_EQ(lines[1], TRANS_LABEL + "\t\t0.000000") << c.what;
    EXPECT_EQ(lines[2], RATIO_LABEL + "\t\tnan") << c.what;
    EXPECT_EQ(r.success().totals.rays_traced, 0) << c.what;
    EXPECT_EQ(std::filesystem::exists(dir / "OUT_MR.txt"), c.passes_run) << c.what;
    EXPECT_GT(std::filesystem::file_size(dir / "OUT_MI.txt"), 50u) << c.what;
  }
}

TEST(EndToEnd, RaysLandingOutsideTheWindowCountOnlyInTheTotal) {
  TestSheet sheet = no_surface_sheet();
  sheet.RSRC = 100;  // every source position is far outside the x-y window
  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r = run_sheet(session, dir, sheet);
  ASSERT_TRUE(r.ok());
  const std::vector<std::string> lines = crlf_lines(read_file(dir / "OUT_M.txt"));
  EXPECT_GT(r.success().totals.total, 0);
  EXPECT_EQ(lines[1], TRANS_LABEL + "\t\t0.000000");
  EXPECT_EQ(lines[2], RATIO_LABEL + "\t\t0.000000");
}

TEST(EndToEnd, TwoIdenticalIndexSetsDoubleEverySum) {
  TestSheet sheet;
  sheet.THMAX = 0.3;
  sheet.NTH = 4;
  sheet.NPHI = 30;
  sheet.NRING = 3;
  sheet.NSCAN = 2;
  sheet.WSCAN = 1;
  sheet.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1, 1}},
                   SurfaceRow{0.02, 3, 0, 0, 1, 0, 0, {1.5, 1.5}},
                   SurfaceRow{-0.02, 5, 0, 0, 1, 0, 0, {1, 1}}};
  sheet.NSET = 1;
  TempDir one_dir, two_dir;
  varnock::Session one, two;
  const varnock::RunResult run_one = run_sheet(one, one_dir, sheet);
  sheet.NSET = 2;
  const varnock::RunResult run_two = run_sheet(two, two_dir, sheet);
  ASSERT_TRUE(run_one.ok() && run_two.ok());

  const varnock::Results a = varnock_test::results_of(run_one.success());
  const varnock::Results b = varnock_test::results_of(run_two.success());
  ASSERT_GT(a.TRANS, 0);
  EXPECT_NEAR(b.TOTAL, 2 * a.TOTAL, 1e-12 * a.TOTAL);
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) {
      EXPECT_NEAR(b.IXY[i][j], 2 * a.IXY[i][j], 1e-12 * a.TOTAL);
      EXPECT_NEAR(b.IUV[i][j], 2 * a.IUV[i][j], 1e-12 * a.TOTAL);
      EXPECT_NEAR(b.IUV_P[i][j], 2 * a.IUV_P[i][j], 1e-12 * a.TOTAL);
    }
  }
  EXPECT_EQ(b.RATIO, b.TRANS / b.TOTAL);
  EXPECT_NEAR(b.RATIO, a.RATIO, 1e-14);
}

TEST(EndToEnd, TheBundledExampleRuns) {
  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r =
      session.run(std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples/condenser.txt", dir.path());
  ASSERT_TRUE(r.ok()) << r.failure().describe();
  EXPECT_TRUE(r.success().warnings.empty());
  EXPECT_GT(r.success().totals.ratio, 0.9);
  EXPECT_LT(r.success().totals.ratio, 1.0);
  EXPECT_EQ(crlf_lines(read_file(dir / "OUT_M.txt")).size(), 132u);
}

// ---------------------------------------------------------------------------
// Failures: a clear message, the right kind, and no result that looks valid.

TEST(RunFailures, MissingSheet) {
  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r = session.run(dir / "nope.txt", dir.path());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, varnock::FailureKind::Sheet);
  EXPECT_NE(r.failure().describe().find("nope.txt"), std::string::npos);
  EXPECT_NE(r.failure().message.find("No such file"), std::string::npos) << r.failure().message;
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_MI.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_M.txt"));
}

TEST(RunFailures, FolderGivenAsTheSheet) {
  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r = session.run(dir.path(), dir.path());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, varnock::FailureKind::Sheet);
  EXPECT_NE(r.failure().message.find("folder"), std::string::npos);
}

TEST(RunFailures, OversizedSheetIsRefusedAndTheFolderLeftAlone) {
  TempDir dir;
  std::string big = no_surface_sheet().text();
  big.resize(16 * 1024 * 1024 + 1, ' ');
  write_file(dir / "IN_FM.txt", big);
  write_file(dir / "OUT_M.txt", "an old report");
  write_file(dir / "OUT_MI.txt", "an old listing");
  varnock::Session session;
  const varnock::RunResult r = session.run(dir / "IN_FM.txt", dir.path());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, varnock::FailureKind::Sheet);
  EXPECT_NE(r.failure().message.find("16 MiB"), std::string::npos);
  EXPECT_EQ(read_file(dir / "OUT_M.txt"), "an old report");
  EXPECT_EQ(read_file(dir / "OUT_MI.txt"), "an old listing");

  // Exactly at the limit is a sheet like any other.
  big.resize(16 * 1024 * 1024);
  write_file(dir / "IN_FM.txt", big);
  EXPECT_TRUE(session.run(dir / "IN_FM.txt", dir.path()).ok());
}

TEST(RunFailures, FanOverTheLimitIsRefusedBeforeAnythingIsWritten) {
  TestSheet sheet = no_surface_sheet();
  sheet.THMIN = 0.5;
  sheet.THMAX = 1.5;
  sheet.NTH = 5000;
  sheet.NPHI = 4000;  // about 15 million rays
  TempDir dir;
  varnock::Session session;
  const varnock::RunResult r = run_sheet(session, dir, sheet);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, varnock::FailureKind::Sheet);
  EXPECT_EQ(r.failure().row, 6);
  EXPECT_EQ(r.failure().column, 3);
  EXPECT_NE(r.failure().describe().find("cell C6"), std::string::npos) << r.failure().describe();
  EXPECT_NE(r.failure().message.find("10000000"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_MI.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_M.txt"));
}

TEST(RunFailures, MissingOutputFolder) {
  TempDir dir;
  write_file(dir / "IN_FM.txt", no_surface_sheet().text());
  varnock::Session session;
  const varnock::RunResult r = session.run(dir / "IN_FM.txt", dir / "no/such/folder");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, varnock::FailureKind::Output);
  EXPECT_NE(r.failure().describe().find("no/such/folder"), std::string::npos);
}

// The names in a folder, sorted.
std::vector<std::string> names_in(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RunFailures, AResultThatCannotBePutInPlaceLeavesThePreviousSet) {
  TempDir dir;
  write_file(dir / "IN_FM.txt", no_surface_sheet().text());
  write_file(dir / "OUT_M.txt", "an old report");
  write_file(dir / "OUT_MI.txt", "an old listing");
  // A folder in the way of a result file, even for root.
  std::filesystem::create_directory(dir / "OUT_MR.txt");
  const std::vector<std::string> before = names_in(dir.path());
  varnock::Session session;
  const varnock::RunResult r = session.run(dir / "IN_FM.txt", dir.path());
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, varnock::FailureKind::Output);
  EXPECT_NE(r.failure().describe().find("OUT_MR.txt"), std::string::npos);
  EXPECT_EQ(read_file(dir / "OUT_M.txt"), "an old report");
  EXPECT_EQ(read_file(dir / "OUT_MI.txt"), "an old listing");
  EXPECT_EQ(names_in(dir.path()), before);  // no temporary file stays behind
}

}  // namespace
