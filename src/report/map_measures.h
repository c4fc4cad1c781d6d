// Measures of a 41 x 41 map, in one place for the report's statistics and
// the optimiser's goals, so that a goal's value is what the report page
// shows for the same map. Cell i has its centre at (i - 20) x pitch; sums
// run over the first index outer, the second inner, skipping empty cells.
#pragma once

#include <array>
#include <optional>

#include "varnock/varnock.h"

namespace varnock {

double cell_centre(int cell, double pitch);

// The weight's sum, its centroid and its RMS distances from the centroid
// along each axis and in the plane (sqrt of the weighted mean of dx^2 +
// dy^2). Nothing for a map without positive weight.
struct MapMoments {
  double sum = 0;
  std::array<double, 2> centroid{};
  std::array<double, 2> rms{};
  double rms_radius = 0;
};
std::optional<MapMoments> map_moments(const GridValues& map, double pitch);

// The largest cell and its indices (the first such cell, in the sums' order).
struct MapPeak {
  double value = 0;
  std::array<int, 2> cell{};
};
MapPeak map_peak(const GridValues& map);

// Over the cells whose centres lie inside or on the edge of the square of
// side size centred on the axis (cell 20, 20): their mean, their standard
// deviation over the mean and their smallest over the mean. Nothing when
// no cell lies there or their mean is not positive.
struct CellSpread {
  int cells = 0;
  double mean = 0;
  double std_over_mean = 0;
  double min_over_mean = 0;
};
std::optional<CellSpread> centred_square_spread(const GridValues& map, double pitch, double size);
// The same over the cells at or above half the peak (the report's uniformity).
std::optional<CellSpread> half_peak_spread(const GridValues& map);

// Full widths at half maximum along the row and the column through the
// centroid's cell: each profile against its own maximum, the outermost
// crossings of half of it, interpolated linearly between cell centres;
// where a profile does not fall to half inside the window the width reaches
// to the last cell centre (a lower bound). 0 for an empty profile.
std::array<double, 2> map_fwhm(const GridValues& map, double pitch, const std::array<double, 2>& centroid);

// The RMS difference of the map and a target, both scaled to sum 1, over
// the RMS of the scaled target. Nothing when either has no positive sum.
std::optional<double> map_match(const GridValues& map, const GridValues& target);

}  // namespace varnock
