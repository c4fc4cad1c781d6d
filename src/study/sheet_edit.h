// A sheet with some cells' text replaced, every other byte as it was.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace varnock {

// cells: (column, row) from 0 -> the new text. A cell beyond the sheet's
// lines or a line's cells is reached by adding empty ones, with the line
// ending the sheet uses (CR LF or LF).
std::string replace_cells(std::string_view sheet, const std::map<std::pair<int, int>, std::string>& cells);

}  // namespace varnock
