// Reading a result report, OUT_M.txt, as main6 or varnock run wrote it:
// the three totals, the grid headers and the three 41 x 41 grids.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "varnock/varnock.h"

namespace varnock {

struct ReportFile {
  double total = 0, transmitted = 0, ratio = 0;
  double DXY = 0, DUV = 0;  // from the IXY and IUV headers
  int SELI = 0, SELJ = 0;   // from the IUV_P header
  GridValues IXY{}, IUV{}, IUV_P{};  // [first index][second index]
};

// A file that is not a complete report: which file, which line (1-based; 0
// for the file as a whole) and what is wrong there.
class ReportError : public std::runtime_error {
 public:
  ReportError(std::string file, int line, const std::string& message);
  const std::string& file() const { return file_; }
  int line() const { return line_; }

 private:
  std::string file_;
  int line_;
};

// Parses the bytes of a report: 132 lines ending in CR LF (a lone LF is
// accepted too), the labels of the totals in Shift-JIS or UTF-8, numbers
// in the C locale. A not-a-number may be written as nan, -nan, nan(ind) or
// the older runtimes' 1.#IND00 and 1.#QNAN0. name is used in messages.
ReportFile parse_report(std::string_view bytes, const std::string& name);

// Reads and parses a report file. Throws ReportError.
ReportFile read_report(const std::filesystem::path& path);

}  // namespace varnock
