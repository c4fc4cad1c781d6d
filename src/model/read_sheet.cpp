#include "model/read_sheet.h"

#include <charconv>
#include <string_view>

#include "model/c_numbers.h"
#include "model/limits.h"

namespace varnock {
namespace {

std::string shortest_text(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return {buffer, result.ptr};
}

std::string quoted(std::string_view text) {
  constexpr std::size_t shown = 40;
  std::string q = "\"";
  q += text.substr(0, shown);
  if (text.size() > shown) q += "...";
  return q + "\"";
}

// Converts cells and notes every cell whose text is more than a number.
class CellReader {
 public:
  CellReader(const SheetCells& cells, std::vector<std::string>& warnings)
      : cells_(cells), warnings_(warnings) {}

  double real(int column, int row, const std::string& what) {
    const std::string_view text = cells_.at(column, row);
    const ParsedNumber<double> n = parse_c_double(text);
    if (n.out_of_range) {
      warn(column, row, what, quoted(text) + " is beyond the range of a double; read as " +
                                  shortest_text(n.value));
    } else if (!is_blank(text.substr(n.end))) {
      warn(column, row, what, quoted(text) + " is not a plain number; read as " +
                                  shortest_text(n.value));
    }
    return n.value;
  }

  int integer(int column, int row, const std::string& what) {
    const std::string_view text = cells_.at(column, row);
    const ParsedNumber<int> n = parse_c_int(text);
    if (n.out_of_range) {
      warn(column, row, what, quoted(text) + " is beyond the 32-bit range; read as " +
                                  std::to_string(n.value));
    } else if (!is_blank(text.substr(n.end))) {
      warn(column, row, what, quoted(text) + " is not a whole number; read as " +
                                  std::to_string(n.value));
    }
    return n.value;
  }

  void warn(int column, int row, const std::string& what, const std::string& message) {
    warnings_.push_back("cell " + cell_name(column, row) + " (" + what + "): " + message);
  }

 private:
  const SheetCells& cells_;
  std::vector<std::string>& warnings_;
};

}  // namespace

void read_sheet(const SheetCells& cells, SystemState& sys, std::vector<std::string>& warnings) {
  CellReader read(cells, warnings);
  RunParams& p = sys.params;

  // The fourteen parameter cells, (column, row) counted from 0, in the order
  // the legacy reader converted them.
  p.THMIN = read.real(2, 2, "THMIN");
  p.THMAX = read.real(2, 3, "THMAX");
  p.NPHI = read.integer(2, 4, "NPHI");
  p.NTH = read.integer(2, 5, "NTH");
  p.RSRC = read.real(2, 6, "RSRC");
  p.WSCAN = read.real(2, 7, "WSCAN");
  p.NRING = read.integer(2, 8, "NRING");
  p.NSCAN = read.integer(2, 9, "NSCAN");
  p.DXY = read.real(2, 10, "DXY");
  p.DUV = read.real(2, 11, "DUV");
  p.SELI = read.integer(2, 12, "SELI");
  p.SELJ = read.integer(3, 12, "SELJ");
  p.NSURF = read.integer(1, 14, "NSURF");
  if (p.NSURF > MAX_SURFACES) {
    read.warn(1, 14, "NSURF", std::to_string(p.NSURF) + " surfaces asked for; the first " +
                                  std::to_string(MAX_SURFACES) + " are read");
    p.NSURF = MAX_SURFACES;
  }
  p.NSET = read.integer(1, 15, "NSET");
  if (p.NSET > MAX_INDEX_SETS) {
    read.warn(1, 15, "NSET", std::to_string(p.NSET) + " index sets asked for; the first " +
                                 std::to_string(MAX_INDEX_SETS) + " are read");
    p.NSET = MAX_INDEX_SETS;
  }

  SurfaceTable& t = sys.surf;
  for (int s = 0; s <= p.NSURF; ++s) {
    const int row = FIRST_SURFACE_ROW + s;
    t.CV[s] = read.real(1, row, "CV");
    t.TH[s] = read.real(2, row, "TH");
    t.DX[s] = read.real(3, row, "DX");
    t.DY[s] = read.real(4, row, "DY");
    t.STYPE[s] = read.integer(5, row, "type");
    t.PA[s] = read.real(6, row, "PA");
    t.PB[s] = read.real(7, row, "PB");
    for (int w = 1; w <= p.NSET; ++w) {
      t.RN[w][s] = read.real(7 + w, row, "index set " + std::to_string(w));
    }
  }

  if (p.NSURF < 0) {
    read.warn(1, 14, "NSURF", std::to_string(p.NSURF) + " is negative; no surface is traced");
    p.NSURF = 0;
  }
}

}  // namespace varnock
