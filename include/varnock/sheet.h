// An input sheet held in memory: its bytes as the front end wrote them (its
// labels may be Shift-JIS), with its value cells read and set by name.
//
//   varnock::Sheet sheet = varnock::Sheet::read("lens.txt");
//   sheet.set("TH2", 25.0);                    // only that cell's bytes change
//   varnock::RunResult r = varnock::run(sheet);  // nothing written
//
// Cells are named as a spreadsheet shows them (C7) or by the value they
// hold: RSRC, NSCAN, ..., a surface column with its surface number (TH0,
// CV3, PA5, STYPE2) and an index as RN2 (surface 2, first set) or RN2.3
// (set 3). A surface or index-set cell is known only when the sheet has
// that surface (NSURF) or set (NSET).
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "varnock/varnock.h"

namespace varnock {

// A failure thrown rather than returned: reading or editing a sheet. It
// carries the same description a run's failure has.
class VARNOCK_API Error : public std::runtime_error {
 public:
  explicit Error(RunFailure failure)
      : std::runtime_error(failure.describe()), failure_(std::move(failure)) {}
  const RunFailure& failure() const { return failure_; }

 private:
  RunFailure failure_;
};

// A value cell of a sheet, as a name resolved to it.
struct CellInfo {
  int column = 0, row = 0;  // from 1, as a spreadsheet counts
  std::string sheet_name;   // C7
  std::string value_name;   // RSRC, TH0, RN2.3
  bool whole_number = false;  // read as an integer (counts, type codes, SELI, SELJ)
};

class Sheet {
 public:
  // Reads a sheet file. Throws Error (FailureKind::Sheet) when it cannot be
  // read, is not a regular file or is far too large to be a sheet.
  VARNOCK_API static Sheet read(const std::filesystem::path& path);
  // A sheet from its bytes; name is what messages call it.
  VARNOCK_API static Sheet from_bytes(std::string bytes, std::string name = "sheet");

  const std::string& bytes() const { return bytes_; }
  // The file it was read from as messages show it, or the name it was given.
  const std::string& name() const { return name_; }

  // The cell a name means. Throws std::invalid_argument naming the accepted
  // forms when it is not one of this sheet's value cells.
  VARNOCK_API CellInfo cell(const std::string& name) const;
  // The cell's text, and its value as a run reads it (the longest numeric
  // prefix, as atof or atoi take it; 0 for an empty cell).
  VARNOCK_API std::string text(const std::string& name) const;
  VARNOCK_API double value(const std::string& name) const;
  // Writes a value into the cell as the shortest text that reads back as
  // the same number (studies write theirs so). The value must be finite,
  // and a whole-number cell takes whole numbers of 32 bits only: anything
  // else throws std::invalid_argument.
  VARNOCK_API void set(const std::string& name, double value);
  // Writes the text into the cell as it is; a tab or line break, which
  // would move the cells after it, throws std::invalid_argument.
  VARNOCK_API void set_text(const std::string& name, const std::string& text);

  // Writes the bytes to a file, replacing it only once they are all
  // written. Throws Error (FailureKind::Output) when it cannot.
  VARNOCK_API void write(const std::filesystem::path& path) const;

 private:
  Sheet(std::string bytes, std::string name) : bytes_(std::move(bytes)), name_(std::move(name)) {}
  std::string bytes_;
  std::string name_;
};

}  // namespace varnock
