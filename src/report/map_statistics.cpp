#include "report/map_statistics.h"

#include <cmath>

#include "report/map_measures.h"

namespace varnock {

std::optional<MapStatistics> map_statistics(const GridValues& v, double pitch,
                                            const GridCounts* rays) {
  const std::optional<MapMoments> moments = map_moments(v, pitch);
  const MapPeak peak = map_peak(v);
  if (!moments || !(peak.value > 0)) return std::nullopt;
  MapStatistics s;
  std::int64_t lit_rays = 0;
  for (int i = 0; i < GRID_SIZE; ++i) {
    for (int j = 0; j < GRID_SIZE; ++j) {
      if (v[i][j] == 0) continue;
      ++s.lit_cells;
      if (rays != nullptr) lit_rays += (*rays)[i][j];
    }
  }
  s.sum = moments->sum;
  s.peak = peak.value;
  s.peak_cell = peak.cell;
  s.peak_at = {cell_centre(peak.cell[0], pitch), cell_centre(peak.cell[1], pitch)};
  s.centroid = moments->centroid;
  s.rms_width = moments->rms;
  s.fwhm = map_fwhm(v, pitch, moments->centroid);
  if (const std::optional<CellSpread> even = half_peak_spread(v)) {
    s.uniformity_min_mean = even->min_over_mean;
    s.uniformity_std_mean = even->std_over_mean;
  }
  if (rays != nullptr) {
    s.mean_rays_per_lit_cell = static_cast<double>(lit_rays) / s.lit_cells;
  }
  return s;
}

std::array<std::array<const char*, 2>, 8> map_statistics_legend() {
  return {{
      {"sum", "the weight summed over all 41 x 41 cells of the map"},
      {"peak", "the largest cell, and where its centre lies"},
      {"centroid", "the mean position of the weight, along each axis"},
      {"RMS width", "the root-mean-square distance of the weight from the centroid, along each axis"},
      {"FWHM", "full width at half maximum: along the row and the column through the centroid's "
               "cell, the distance between the outermost points where that profile reaches half "
               "its own maximum, interpolated linearly between cell centres (to the last cell "
               "centre where it does not fall that far inside the map)"},
      {"uniformity min/mean", "over the cells at or above half the peak: the smallest cell over "
                              "their mean (1 is perfectly even)"},
      {"uniformity std/mean", "over the same cells: their standard deviation over their mean "
                              "(0 is perfectly even)"},
      {"rays per lit cell", "the rays that landed, on average, in each cell with weight: below "
                            "100 a cell's value is too noisy to trust"},
  }};
}

}  // namespace varnock
