// The sheet reader: turns the cells at fixed places of the input sheet into
// the run parameters, the surface table and the refractive-index sets.
#pragma once

#include <string>
#include <vector>

#include "model/model.h"
#include "model/sheet_cells.h"

namespace varnock {

// Fills sys.params, and for surfaces 0..NSURF the surface table and index
// sets 1..NSET. Nothing else is touched: entries above NSURF or NSET keep
// their earlier values. A cell that is not a plain number still converts the
// way atof/atoi would convert it, with a warning naming the cell.
//
// Counts are capped after reading: NSURF at 100, NSET at 20. A negative NSURF
// reads no surface row and is then taken as 0 for the rest of the run.
void read_sheet(const SheetCells& cells, SystemState& sys, std::vector<std::string>& warnings);

}  // namespace varnock
