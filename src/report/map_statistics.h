// What a map's numbers say at a glance: where its light is and how evenly it
// is spread. Cell i of a map with pitch p has its centre at (i - 20) p.
#pragma once

#include <array>
#include <optional>

#include "varnock/varnock.h"

namespace varnock {

// MapStatistics is public (varnock/varnock.h): runs give it.

// The statistics of a map; nothing for a map without weight (all cells 0).
// Sums run over the first index outer, the second inner.
std::optional<MapStatistics> map_statistics(const GridValues& values, double pitch,
                                            const GridCounts* rays = nullptr);

// The definitions, for a legend beside the numbers: (term, meaning).
std::array<std::array<const char*, 2>, 8> map_statistics_legend();

}  // namespace varnock
