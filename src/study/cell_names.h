// The value cells of a sheet by name: a spreadsheet name (C7, B22) or the
// name the README gives the value (RSRC, NSCAN; a surface column with its
// surface number, such as TH0, CV3, PA5, STYPE2; an index as RN2 for surface
// 2 in the first set, RN2.3 for set 3).
#pragma once

#include <string>

#include "model/model.h"

namespace varnock {

struct ValueCell {
  int column = 0, row = 0;   // from 0, as the sheet reader counts
  std::string sheet_name;    // C7
  std::string value_name;    // RSRC, TH0, RN2.3
  bool integer = false;      // read with atoi (counts, type codes, SELI, SELJ)
};

// The cell a name means in a sheet read into sys (its NSURF and NSET say
// which surface and index cells it has). Throws std::invalid_argument with
// a message that says why when the name is not one of its value cells.
ValueCell value_cell(const std::string& name, const SystemState& sys);

}  // namespace varnock
