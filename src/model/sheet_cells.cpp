#include "model/sheet_cells.h"

#include "model/limits.h"

namespace varnock {

SheetCells SheetCells::parse(std::string_view text) {
  SheetCells sheet;
  sheet.cells_.resize(static_cast<std::size_t>(SHEET_ROWS) * SHEET_COLUMNS);
  int column = 0;
  int row = 0;
  for (const char c : text) {
    if (c == '\n') {
      column = 0;
      if (row < SHEET_ROWS) ++row;  // stays at the bound: nothing more is kept
    } else if (c == '\t') {
      if (column < SHEET_COLUMNS) ++column;
    } else if (c != '\r' && row < SHEET_ROWS && column < SHEET_COLUMNS) {
      sheet.cells_[static_cast<std::size_t>(row) * SHEET_COLUMNS + column] += c;
    }
  }
  return sheet;
}

std::string_view SheetCells::at(int column, int row) const {
  if (column < 0 || column >= SHEET_COLUMNS || row < 0 || row >= SHEET_ROWS) return {};
  return cells_[static_cast<std::size_t>(row) * SHEET_COLUMNS + column];
}

std::string cell_name(int column, int row) {
  std::string letters;
  for (int c = column + 1; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row + 1);
}

}  // namespace varnock
