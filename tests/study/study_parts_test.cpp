// The parts a study is made of: the values a --set gives, the cells names
// mean, the text a value is written as, and the sheet edit that leaves every
// other byte alone. (Whole studies are checked through the tool by
// study_check.py.)
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "study/cell_names.h"
#include "study/sheet_edit.h"
#include "study/study_values.h"

namespace varnock {
namespace {

TEST(SweepValues, RangesListsAndFiles) {
  EXPECT_EQ(parse_sweep_values("16:30:8").size(), 8u);
  EXPECT_EQ(parse_sweep_values("16:30:8")[3], 16 + (30.0 - 16) * 3 / 7);
  EXPECT_EQ(parse_sweep_values("16:30:8").back(), 30);
  EXPECT_EQ(parse_sweep_values("5:9:1"), std::vector<double>{5});
  EXPECT_EQ(parse_sweep_values("1,-2.5, 3e2"), (std::vector<double>{1, -2.5, 300}));
  const std::string file = testing::TempDir() + "sweep_values.txt";
  std::ofstream(file) << "0.5\r\n\n  7\n";
  EXPECT_EQ(parse_sweep_values("@" + file), (std::vector<double>{0.5, 7}));
  std::remove(file.c_str());
  for (const char* bad : {"", "1:2", "1:2:0", "1:2:x", "1,,2", "nan", "1e999", "@/no/such/file", "1:2:3:4"}) {
    EXPECT_THROW(parse_sweep_values(bad), std::invalid_argument) << bad;
  }
}

TEST(SweepValues, CellTextReadsBackAndWholeNumbersStayDigits) {
  EXPECT_EQ(shortest_text(0.1), "0.1");
  EXPECT_EQ(std::stod(shortest_text(1.0 / 3)), 1.0 / 3);
  EXPECT_EQ(cell_text(1e8, true), "100000000");  // "1e+08" would read as 1
  EXPECT_EQ(cell_text(2.5, true), "2.5");
  EXPECT_EQ(cell_text(1e8, false), "1e+08");
  EXPECT_THROW(parse_jitter("gauss:1"), std::invalid_argument);
  EXPECT_THROW(parse_jitter("normal:-1"), std::invalid_argument);
  EXPECT_EQ(parse_jitter("uniform:0.25").width, 0.25);
}

TEST(CellNames, ValueNamesAndSpreadsheetNamesMeetTheSameCells) {
  SystemState sys;
  sys.params.NSURF = 4;
  sys.params.NSET = 2;
  EXPECT_EQ(value_cell("C7", sys).value_name, "RSRC");
  EXPECT_EQ(value_cell("rsrc", sys).sheet_name, "C7");
  EXPECT_EQ(value_cell("TH0", sys).sheet_name, "C20");
  EXPECT_EQ(value_cell("cv3", sys).sheet_name, "B23");
  EXPECT_TRUE(value_cell("STYPE2", sys).integer);
  EXPECT_TRUE(value_cell("NSCAN", sys).integer);
  EXPECT_EQ(value_cell("RN2", sys).column, 8);
  EXPECT_EQ(value_cell("RN2.2", sys).column, 9);
  EXPECT_EQ(value_cell("D13", sys).value_name, "SELJ");
  for (const char* bad : {"TH5", "RN1.3", "RN1.0", "A1", "B3", "ZZ9", "CV", "XYZ", "C0", "CV99999999"}) {
    EXPECT_THROW(value_cell(bad, sys), std::invalid_argument) << bad;
  }
}

TEST(SheetEdit, OnlyTheNamedCellsChange) {
  const std::string sheet = "a\tb\r\n\tx\t1\r\nlast";
  EXPECT_EQ(replace_cells(sheet, {{{2, 1}, "2.5"}}), "a\tb\r\n\tx\t2.5\r\nlast");
  EXPECT_EQ(replace_cells(sheet, {{{3, 0}, "z"}}), "a\tb\t\tz\r\n\tx\t1\r\nlast");
  EXPECT_EQ(replace_cells("a\r\n", {{{1, 2}, "y"}}), "a\r\n\r\n\ty\r\n");
  EXPECT_EQ(replace_cells("p\tq\n", {{{0, 0}, "r"}}), "r\tq\n");
}

}  // namespace
}  // namespace varnock
