#include <cmath>
#include <stdexcept>

#include "model/c_numbers.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "run/run_driver.h"
#include "study/cell_names.h"
#include "study/sheet_edit.h"
#include "study/study_values.h"
#include "support/files.h"
#include "support/run_error.h"
#include "varnock/sheet.h"

namespace varnock {
namespace {

// The cell a name means in these bytes: names of surface and index cells
// depend on the sheet's own NSURF and NSET, so the sheet is read for them.
ValueCell resolve(const std::string& bytes, const std::string& name) {
  SystemState sys;
  std::vector<std::string> ignored;
  read_sheet(SheetCells::parse(bytes), sys, ignored);
  return value_cell(name, sys);
}

}  // namespace

Sheet Sheet::read(const std::filesystem::path& path) {
  try {
    return Sheet(read_sheet_bytes(path, MAX_SHEET_BYTES), display(path));
  } catch (const RunError& e) {
    throw Error(e.failure());
  }
}

Sheet Sheet::from_bytes(std::string bytes, std::string name) {
  if (bytes.size() > MAX_SHEET_BYTES) {
    throw Error(RunFailure{FailureKind::Sheet, name, 0, 0,
                           "the sheet is larger than " + std::to_string(MAX_SHEET_BYTES / (1024 * 1024)) +
                               " MiB; a sheet is a few kilobytes, so this is not one"});
  }
  return Sheet(std::move(bytes), std::move(name));
}

CellInfo Sheet::cell(const std::string& name) const {
  const ValueCell c = resolve(bytes_, name);
  return CellInfo{c.column + 1, c.row + 1, c.sheet_name, c.value_name, c.integer};
}

std::string Sheet::text(const std::string& name) const {
  const ValueCell c = resolve(bytes_, name);
  return std::string(SheetCells::parse(bytes_).at(c.column, c.row));
}

double Sheet::value(const std::string& name) const {
  const ValueCell c = resolve(bytes_, name);
  const SheetCells cells = SheetCells::parse(bytes_);  // the cell's text lives in it
  const std::string_view text = cells.at(c.column, c.row);
  return c.integer ? parse_c_int(text).value : parse_c_double(text).value;
}

void Sheet::set(const std::string& name, double value) {
  const ValueCell c = resolve(bytes_, name);
  if (!std::isfinite(value)) {
    throw std::invalid_argument(name + " (" + c.sheet_name + "): " + shortest_text(value) + " is not a finite number");
  }
  // The reader takes such a cell with atoi: a fraction would be cut, and a
  // number beyond 32 bits saturated.
  if (c.integer && !(std::trunc(value) == value && value >= -2147483648.0 && value <= 2147483647.0)) {
    throw std::invalid_argument(name + " (" + c.sheet_name + ") is a whole-number cell; " + shortest_text(value) +
                                " is not a whole number of 32 bits");
  }
  bytes_ = replace_cells(bytes_, {{{c.column, c.row}, cell_text(value, c.integer)}});
}

void Sheet::set_text(const std::string& name, const std::string& text) {
  if (text.find_first_of("\t\r\n") != std::string::npos) {
    throw std::invalid_argument("the text for " + name + " holds a tab or a line break, which would move the "
                                "cells after it");
  }
  const ValueCell c = resolve(bytes_, name);
  bytes_ = replace_cells(bytes_, {{{c.column, c.row}, text}});
}

void Sheet::write(const std::filesystem::path& path) const {
  try {
    write_atomically(path, bytes_);
  } catch (const RunError& e) {
    throw Error(e.failure());
  } catch (const std::exception& e) {
    throw Error(RunFailure{FailureKind::Output, display(path), 0, 0, e.what()});
  }
}

}  // namespace varnock
