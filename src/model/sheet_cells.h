// The input sheet as a grid of cell texts: a cell's column is the number of
// tabs before it on its line, its row the number of line feeds before its
// line. Carriage returns are dropped, so CR LF and LF lines read the same.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnock {

class SheetCells {
 public:
  // Splits the sheet text. Cells keep their whole text; cells beyond the
  // grid's 30 columns and 120 rows are ignored.
  static SheetCells parse(std::string_view text);

  // The text of a cell; a cell the sheet does not reach is empty.
  std::string_view at(int column, int row) const;

 private:
  std::vector<std::string> cells_;  // row-major, SHEET_ROWS x SHEET_COLUMNS
};

// The cell's name as a spreadsheet shows it, e.g. column 2, row 5 is "C6".
std::string cell_name(int column, int row);

}  // namespace varnock
