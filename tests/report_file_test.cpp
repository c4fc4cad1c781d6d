// Reading result reports back: every value of a report this tool wrote, the
// spellings other writers use, and clear refusals of what is not a report.
#include "report/report_file.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/sheet_builder.h"

namespace varnock {
namespace {

using varnock_test::TempDir;

TEST(ReportFile, ReadsBackEveryValueOfAReport) {
  TempDir dir;
  Session session;
  const RunResult r = session.run(std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples/reflector.txt",
                                  dir.path());
  ASSERT_TRUE(r.ok());
  const ReportFile rep = read_report(dir / "OUT_M.txt");
  const RunSuccess& run = r.success();
  // The file holds six decimals.
  EXPECT_NEAR(rep.total, run.totals.total, 5e-7);
  EXPECT_NEAR(rep.transmitted, run.totals.transmitted, 5e-7);
  EXPECT_NEAR(rep.ratio, run.totals.ratio, 5e-7);
  for (int i = 0; i < GRID_SIZE; ++i) {
    for (int j = 0; j < GRID_SIZE; ++j) {
      ASSERT_NEAR(rep.IXY[i][j], run.maps.IXY[i][j], 5e-7) << i << " " << j;
      ASSERT_NEAR(rep.IUV[i][j], run.maps.IUV[i][j], 5e-7) << i << " " << j;
      ASSERT_NEAR(rep.IUV_P[i][j], run.maps.IUV_P[i][j], 5e-7) << i << " " << j;
    }
  }
  EXPECT_GT(rep.DXY, 0);
  EXPECT_EQ(rep.SELI, 22);  // the example's selected cell
  EXPECT_EQ(rep.SELJ, 20);
}

// A report with one changed line.
std::string with_line(const std::string& report, int number, const std::string& text) {
  std::size_t start = 0;
  for (int n = 1; n < number; ++n) start = report.find("\r\n", start) + 2;
  const std::size_t end = report.find("\r\n", start);
  return report.substr(0, start) + text + report.substr(end);
}

TEST(ReportFile, TakesOtherWritersSpellings) {
  TempDir dir;
  varnock_test::TestSheet sheet;
  sheet.NSCAN = 0;  // nothing traced: the ratio is not a number
  sheet.SELI = 50;
  sheet.SELJ = -1;
  varnock_test::write_file(dir / "IN_FM.txt", sheet.text());
  Session session;
  ASSERT_TRUE(session.run(dir / "IN_FM.txt", dir.path()).ok());
  const std::string report = varnock_test::read_file(dir / "OUT_M.txt");
  const ReportFile rep = parse_report(report, "OUT_M.txt");
  EXPECT_TRUE(std::isnan(rep.ratio));
  EXPECT_EQ(rep.SELI, 50);
  EXPECT_EQ(rep.SELJ, -1);
  const std::size_t line3 = report.find("\r\n", report.find("\r\n") + 2) + 2;
  const std::string ratio_label = report.substr(line3, report.find("\t\t", line3) + 2 - line3);
  for (const char* nan : {"-nan", "-nan(ind)", "-1.#IND00", "1.#QNAN0"}) {
    const std::string changed = with_line(report, 3, ratio_label + nan);
    EXPECT_TRUE(std::isnan(parse_report(changed, "x").ratio)) << nan;
  }
  // Lines ending in a lone LF, as a tool may have left them.
  std::string lf = report;
  for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) lf.erase(at, 1);
  EXPECT_EQ(parse_report(lf, "x").SELJ, -1);
}

TEST(ReportFile, RefusesWhatIsNotAReportNamingTheLine) {
  TempDir dir;
  Session session;
  ASSERT_TRUE(session.run(std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples/condenser.txt",
                          dir.path()).ok());
  const std::string report = varnock_test::read_file(dir / "OUT_M.txt");
  auto error_line = [](const std::string& bytes) {
    try {
      parse_report(bytes, "r");
    } catch (const ReportError& e) {
      return e.line();
    }
    return -1;
  };
  EXPECT_EQ(error_line(""), 0);                                    // a failed run's empty report
  EXPECT_EQ(error_line(report.substr(0, report.size() - 300)), 132);  // cut short
  EXPECT_EQ(error_line(with_line(report, 5, "IXY[i][j](0.5)")), 5);
  EXPECT_EQ(error_line(with_line(report, 60, "1.0\t2.0\t")), 60);
  EXPECT_EQ(error_line(with_line(report, 1, "total\t\t1.0")), 1);
  EXPECT_EQ(error_line(report + "one more line\r\n"), 133);
  EXPECT_EQ(error_line("X[NUMB]\tY[NUMB]\r\n0\t0\r\n"), 2);      // a fan listing
  EXPECT_THROW(read_report(dir / "no such report"), ReportError);
}

}  // namespace
}  // namespace varnock
