#include "study/cell_names.h"

#include <array>
#include <cctype>
#include <stdexcept>

#include "model/sheet_cells.h"

namespace varnock {
namespace {

struct ParameterCell {
  const char* name;
  int column, row;
  bool integer;
};

constexpr std::array<ParameterCell, 14> PARAMETERS = {{
    {"THMIN", 2, 2, false}, {"THMAX", 2, 3, false}, {"NPHI", 2, 4, true},
    {"NTH", 2, 5, true},    {"RSRC", 2, 6, false},  {"WSCAN", 2, 7, false},
    {"NRING", 2, 8, true},  {"NSCAN", 2, 9, true},  {"DXY", 2, 10, false},
    {"DUV", 2, 11, false},  {"SELI", 2, 12, true},  {"SELJ", 3, 12, true},
    {"NSURF", 1, 14, true}, {"NSET", 1, 15, true},
}};

// The surface columns 1..7; the index of set w is column 7 + w.
constexpr std::array<const char*, 7> SURFACE_COLUMNS = {"CV", "TH", "DX", "DY", "STYPE", "PA", "PB"};

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool digits(const std::string& s) {
  return !s.empty() && s.size() <= 6 && s.find_first_not_of("0123456789") == std::string::npos;
}

// The cell at (column, row) if it is one the sheet reader reads for sys.
ValueCell cell_at(int column, int row, const SystemState& sys, const std::string& asked) {
  for (const ParameterCell& p : PARAMETERS) {
    if (p.column == column && p.row == row) return {column, row, cell_name(column, row), p.name, p.integer};
  }
  const int s = row - FIRST_SURFACE_ROW;
  const int nsurf = std::max(sys.params.NSURF, 0), nset = std::max(sys.params.NSET, 0);
  if (s >= 0 && s <= MAX_SURFACES && column >= 1 && column <= 7 + MAX_INDEX_SETS) {
    if (s > nsurf) {
      throw std::invalid_argument(asked + " is a cell of surface " + std::to_string(s) + ", but the sheet has " +
                                  std::to_string(nsurf) + " surfaces (NSURF)");
    }
    if (column >= 8 && column - 7 > nset) {
      throw std::invalid_argument(asked + " is the index of set " + std::to_string(column - 7) +
                                  ", but the sheet has " + std::to_string(nset) + " index sets (NSET)");
    }
    const std::string value = column <= 7 ? std::string(SURFACE_COLUMNS[static_cast<std::size_t>(column - 1)]) + std::to_string(s)
                              : column == 8 ? "RN" + std::to_string(s)
                                            : "RN" + std::to_string(s) + "." + std::to_string(column - 7);
    return {column, row, cell_name(column, row), value, column == 5};
  }
  throw std::invalid_argument(asked + " is not a cell the sheet reader reads (a label cell or outside the sheet)");
}

}  // namespace

ValueCell value_cell(const std::string& given, const SystemState& sys) {
  const std::string name = upper(given);
  for (const ParameterCell& p : PARAMETERS) {
    if (name == p.name) return cell_at(p.column, p.row, sys, given);
  }
  // RN<s> and RN<s>.<w>
  if (name.rfind("RN", 0) == 0) {
    const std::string rest = name.substr(2);
    const std::size_t dot = rest.find('.');
    const std::string s = rest.substr(0, dot), w = dot == std::string::npos ? "1" : rest.substr(dot + 1);
    if (digits(s) && digits(w) && std::stoi(w) >= 1 && std::stoi(w) <= MAX_INDEX_SETS) {
      return cell_at(7 + std::stoi(w), FIRST_SURFACE_ROW + std::stoi(s), sys, given);
    }
  }
  // A surface column with its surface number: CV3, STYPE2, ...
  for (std::size_t c = SURFACE_COLUMNS.size(); c-- > 0;) {
    const std::string prefix = SURFACE_COLUMNS[c];
    if (name.rfind(prefix, 0) == 0 && digits(name.substr(prefix.size()))) {
      return cell_at(static_cast<int>(c) + 1, FIRST_SURFACE_ROW + std::stoi(name.substr(prefix.size())), sys, given);
    }
  }
  // A spreadsheet name: column letters, row number from 1.
  std::size_t letters = 0;
  while (letters < name.size() && std::isalpha(static_cast<unsigned char>(name[letters]))) ++letters;
  if (letters >= 1 && letters <= 2 && digits(name.substr(letters))) {
    int column = 0;
    for (std::size_t i = 0; i < letters; ++i) column = column * 26 + (name[i] - 'A' + 1);
    const int row = std::stoi(name.substr(letters)) - 1;
    if (row >= 0) return cell_at(column - 1, row, sys, given);
  }
  throw std::invalid_argument(given + " names no value cell: use a spreadsheet name (C7) or a value's name "
                              "(RSRC, NSCAN, TH0, CV3, PA5, STYPE2, RN2, RN2.3)");
}

}  // namespace varnock
