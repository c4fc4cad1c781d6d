// Fixed sizes of the model and the limits that keep a mistyped sheet from
// exhausting memory or disk.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varnock {

// Surface-indexed tables: index 0 is the source plane, 1..100 the surfaces.
inline constexpr int NUMB = 101;
inline constexpr int MAX_SURFACES = NUMB - 1;
// Refractive-index sets 1..20; row 0 of the index table is the active set.
inline constexpr int MAX_INDEX_SETS = 20;
// Every result grid is 41 x 41 cells, cell 20 centred on zero.
inline constexpr int GRID_CELLS = 41;
inline constexpr int GRID_CENTRE = 20;

// The sheet is a grid of 30 columns by 120 rows; anything beyond is ignored.
inline constexpr int SHEET_COLUMNS = 30;
inline constexpr int SHEET_ROWS = 120;
// Row of the source plane (surface 0); surface s sits on row s + 19.
inline constexpr int FIRST_SURFACE_ROW = 19;

// A legitimate sheet is a few kilobytes; anything past this is refused.
inline constexpr std::size_t MAX_SHEET_BYTES = 16u * 1024u * 1024u;
// A fan beyond this many rays is refused before anything is written.
inline constexpr std::int64_t MAX_FAN_RAYS = 10'000'000;
// And one of more cones than this, which would take a minute to lay out
// whatever rays it holds (a mistyped NTH).
inline constexpr std::int64_t MAX_FAN_CONES = 20'000'000;

// The circle constant every run uses: the 15-digit literal, a little below
// the double nearest to pi. Fan azimuths and the mirrors' direction test
// depend on these exact bits.
inline constexpr double RUN_PI = 3.14159265358979;

}  // namespace varnock
