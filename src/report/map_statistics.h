// What a map's numbers say at a glance: where its light is and how evenly it
// is spread. Cell i of a map with pitch p has its centre at (i - 20) p.
#pragma once

#include <array>
#include <optional>

#include "varnock/varnock.h"

namespace varnock {

struct MapStatistics {
  double sum = 0;                         // the weight in the 41 x 41 window
  double peak = 0;                        // the largest cell
  std::array<int, 2> peak_cell{};         // its indices (the first such cell)
  std::array<double, 2> peak_at{};        // its centre
  std::array<double, 2> centroid{};       // the weighted mean position
  std::array<double, 2> rms_width{};      // the weighted RMS distance from it, per axis
  // Full width at half the peak along the row and the column through the
  // peak, interpolated linearly between cell centres; where the map does
  // not fall to half inside the window, the width reaches to the last cell
  // centre (a lower bound).
  std::array<double, 2> fwhm{};
  // Over the cells at or above half the peak: the smallest value over the
  // mean, and the standard deviation over the mean.
  double uniformity_min_mean = 0;
  double uniformity_std_mean = 0;
  int lit_cells = 0;                          // cells with weight
  std::optional<double> mean_rays_per_lit_cell;  // when the ray counts are known
};

// The statistics of a map; nothing for a map without weight (all cells 0).
// Sums run over the first index outer, the second inner.
std::optional<MapStatistics> map_statistics(const GridValues& values, double pitch,
                                            const GridCounts* rays = nullptr);

// The definitions, for a legend beside the numbers: (term, meaning).
std::array<std::array<const char*, 2>, 8> map_statistics_legend();

}  // namespace varnock
