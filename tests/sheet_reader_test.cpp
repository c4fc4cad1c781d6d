// The sheet reader: cell splitting, the fixed cell layout, conversions and
// the caps on the counts.
#include <gtest/gtest.h>

#include <cmath>

#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "support/sheet_builder.h"

namespace varnock {
namespace {

using varnock_test::TestSheet;
using varnock_test::SurfaceRow;

SystemState read(const std::string& text, std::vector<std::string>* warnings = nullptr) {
  SystemState sys;
  std::vector<std::string> w;
  read_sheet(SheetCells::parse(text), sys, warnings ? *warnings : w);
  return sys;
}

TEST(SheetCells, SplitsOnTabsAndLineFeedsAndDropsCarriageReturns) {
  const SheetCells cells = SheetCells::parse("a\tb\r\n\tc\td\re\nlast");
  EXPECT_EQ(cells.at(0, 0), "a");
  EXPECT_EQ(cells.at(1, 0), "b");
  EXPECT_EQ(cells.at(0, 1), "");
  EXPECT_EQ(cells.at(1, 1), "c");
  EXPECT_EQ(cells.at(2, 1), "de");  // a CR inside a line is dropped too
  EXPECT_EQ(cells.at(0, 2), "last");  // no final newline
  EXPECT_EQ(cells.at(5, 50), "");     // not reached by the file
  EXPECT_EQ(cells.at(-1, 0), "");
  EXPECT_EQ(cells.at(30, 0), "");
}

TEST(SheetCells, KeepsLongCellsWholeAndIgnoresCellsBeyondTheGrid) {
  const std::string long_number = "1." + std::string(200, '0') + "1";
  std::string text = long_number;
  for (int c = 1; c < 40; ++c) text += "\tc" + std::to_string(c);
  for (int r = 1; r < 200; ++r) text += "\nrow" + std::to_string(r);
  const SheetCells cells = SheetCells::parse(text);
  EXPECT_EQ(cells.at(0, 0), long_number);
  EXPECT_EQ(cells.at(29, 0), "c29");
  EXPECT_EQ(cells.at(0, 119), "row119");
  EXPECT_EQ(cells.at(0, 120), "");
}

TEST(SheetCells, NamesCellsAsASpreadsheetDoes) {
  EXPECT_EQ(cell_name(0, 0), "A1");
  EXPECT_EQ(cell_name(2, 5), "C6");
  EXPECT_EQ(cell_name(25, 9), "Z10");
  EXPECT_EQ(cell_name(26, 0), "AA1");
  EXPECT_EQ(cell_name(29, 119), "AD120");
}

TEST(ReadSheet, ReadsEveryParameterFromItsCell) {
  TestSheet sheet;
  sheet.THMIN = 0.1;
  sheet.THMAX = 1.25;
  sheet.NPHI = 36;
  sheet.NTH = 7;
  sheet.RSRC = 2.5;
  sheet.WSCAN = 4;
  sheet.NRING = 9;
  sheet.NSCAN = 3;
  sheet.DXY = 0.25;
  sheet.DUV = 0.02;
  sheet.SELI = 19;
  sheet.SELJ = 21;
  sheet.NSET = 2;
  sheet.surfaces = {SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1, 1.1}},
                   SurfaceRow{0.05, 3, 0.5, -0.5, 7, 2, 3, {1.5, 1.6}}};
  const SystemState sys = read(sheet.text());
  const RunParams& p = sys.params;
  EXPECT_EQ(p.THMIN, 0.1);
  EXPECT_EQ(p.THMAX, 1.25);
  EXPECT_EQ(p.NPHI, 36);
  EXPECT_EQ(p.NTH, 7);
  EXPECT_EQ(p.RSRC, 2.5);
  EXPECT_EQ(p.WSCAN, 4);
  EXPECT_EQ(p.NRING, 9);
  EXPECT_EQ(p.NSCAN, 3);
  EXPECT_EQ(p.DXY, 0.25);
  EXPECT_EQ(p.DUV, 0.02);
  EXPECT_EQ(p.SELI, 19);
  EXPECT_EQ(p.SELJ, 21);
  EXPECT_EQ(p.NSURF, 1);
  EXPECT_EQ(p.NSET, 2);
  const SurfaceTable& t = sys.surf;
  EXPECT_EQ(t.TH[0], 10);
  EXPECT_EQ(t.RN[2][0], 1.1);
  EXPECT_EQ(t.CV[1], 0.05);
  EXPECT_EQ(t.TH[1], 3);
  EXPECT_EQ(t.DX[1], 0.5);
  EXPECT_EQ(t.DY[1], -0.5);
  EXPECT_EQ(t.STYPE[1], 7);
  EXPECT_EQ(t.PA[1], 2);
  EXPECT_EQ(t.PB[1], 3);
  EXPECT_EQ(t.RN[1][1], 1.5);
  EXPECT_EQ(t.RN[2][1], 1.6);
}

TEST(ReadSheet, LineFeedOnlyReadsTheSameAsCrLf) {
  TestSheet sheet;
  sheet.surfaces.push_back(SurfaceRow{0.1, 2, 0, 0, 1, 0, 0, {1.5}});
  const SystemState crlf = read(sheet.text());
  sheet.crlf = false;
  const SystemState lf = read(sheet.text());
  EXPECT_EQ(crlf.params.NSURF, lf.params.NSURF);
  EXPECT_EQ(crlf.surf.CV[1], lf.surf.CV[1]);
  EXPECT_EQ(crlf.surf.RN[1][1], lf.surf.RN[1][1]);
  EXPECT_EQ(crlf.params.THMAX, lf.params.THMAX);
}

TEST(ReadSheet, ConvertsCellTextAsAtofAndAtoiWithAWarning) {
  TestSheet sheet;
  sheet.cells[{2, 2}] = "1.5e-3";  // THMIN
  sheet.cells[{2, 3}] = "abc";     // THMAX
  sheet.cells[{2, 6}] = "";        // RSRC
  sheet.cells[{2, 5}] = "12.7";    // NTH
  sheet.cells[{2, 4}] = "3000000000";  // NPHI
  std::vector<std::string> warnings;
  const SystemState sys = read(sheet.text(), &warnings);
  EXPECT_EQ(sys.params.THMIN, 0.0015);
  EXPECT_EQ(sys.params.THMAX, 0.0);
  EXPECT_EQ(sys.params.RSRC, 0.0);
  EXPECT_EQ(sys.params.NTH, 12);
  EXPECT_EQ(sys.params.NPHI, 2147483647);
  // An empty cell is normal; the three others are worth a word.
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_NE(warnings[0].find("C4 (THMAX)"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find("C5 (NPHI)"), std::string::npos) << warnings[1];
  EXPECT_NE(warnings[2].find("C6 (NTH)"), std::string::npos) << warnings[2];
  EXPECT_NE(warnings[2].find("read as 12"), std::string::npos) << warnings[2];
}

TEST(ReadSheet, CapsTheSurfaceCountAt100AndReadsRows19To119) {
  TestSheet sheet;
  sheet.cells[{1, 14}] = "150";
  sheet.cells[{1, 119}] = "0.125";  // CV of surface 100
  sheet.cells[{1, 120}] = "9";      // beyond the grid
  std::vector<std::string> warnings;
  const SystemState sys = read(sheet.text(), &warnings);
  EXPECT_EQ(sys.params.NSURF, 100);
  EXPECT_EQ(sys.surf.CV[100], 0.125);
  EXPECT_EQ(SheetCells::parse(sheet.text()).at(1, 120), "");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("B15 (NSURF)"), std::string::npos) << warnings[0];
}

TEST(ReadSheet, CapsTheIndexSetsAt20AndKeepsTheSurfaceCount) {
  TestSheet sheet;
  sheet.surfaces.push_back(SurfaceRow{0, 1, 0, 0, 1, 0, 0, {}});
  sheet.cells[{1, 15}] = "25";
  sheet.cells[{27, 20}] = "1.7";  // set 20 of surface 1
  sheet.cells[{28, 20}] = "9.9";  // set 21: not read
  const SystemState sys = read(sheet.text());
  EXPECT_EQ(sys.params.NSET, 20);
  EXPECT_EQ(sys.params.NSURF, 1);
  EXPECT_EQ(sys.surf.RN[20][1], 1.7);
}

TEST(ReadSheet, ZeroSurfacesReadOnlyTheSourceRow) {
  TestSheet sheet;
  sheet.surfaces = {SurfaceRow{0, 7, 0, 0, 1, 0, 0, {1}}};
  sheet.cells[{2, 20}] = "99";  // TH of a surface 1 that is not counted
  SystemState sys = read(sheet.text());
  EXPECT_EQ(sys.params.NSURF, 0);
  EXPECT_EQ(sys.surf.TH[0], 7);
  EXPECT_EQ(sys.surf.TH[1], 0);
}

TEST(ReadSheet, LeavesEntriesBeyondTheCountsAsTheyWere) {
  SystemState sys;
  sys.surf.CV[5] = 0.5;
  sys.surf.RN[3][1] = 1.9;
  TestSheet sheet;
  sheet.surfaces.push_back(SurfaceRow{0, 1, 0, 0, 1, 0, 0, {1.5}});
  std::vector<std::string> warnings;
  read_sheet(SheetCells::parse(sheet.text()), sys, warnings);
  EXPECT_EQ(sys.surf.CV[5], 0.5);
  EXPECT_EQ(sys.surf.RN[3][1], 1.9);
}

TEST(ReadSheet, NegativeSurfaceCountReadsNoRowAndTracesNone) {
  SystemState sys;
  sys.surf.TH[0] = 42;
  TestSheet sheet;
  sheet.cells[{1, 14}] = "-5";
  std::vector<std::string> warnings;
  read_sheet(SheetCells::parse(sheet.text()), sys, warnings);
  EXPECT_EQ(sys.params.NSURF, 0);
  EXPECT_EQ(sys.surf.TH[0], 42);  // row 19 was not read
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("negative"), std::string::npos);
}

}  // namespace
}  // namespace varnock
