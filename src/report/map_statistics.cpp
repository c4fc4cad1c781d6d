#include "report/map_statistics.h"

#include <cmath>

namespace varnock {
namespace {

constexpr int N = GRID_SIZE;
constexpr int CENTRE = 20;

double centre_of(int cell, double pitch) { return (cell - CENTRE) * pitch; }

// Where a profile through the peak first falls below half of it, walking
// from the peak cell in steps of dir: the crossing between the last cell at
// or above half and the first below it, linearly interpolated.
double half_crossing(const std::array<double, N>& profile, int peak, int dir, double pitch) {
  const double half = profile[peak] / 2;
  int k = peak;
  while (k + dir >= 0 && k + dir < N && profile[k + dir] >= half) k += dir;
  if (k + dir < 0 || k + dir >= N) return centre_of(k, pitch);
  const double inside = profile[k], outside = profile[k + dir];
  const double t = (inside - half) / (inside - outside);
  return centre_of(k, pitch) + dir * t * pitch;
}

}  // namespace

std::optional<MapStatistics> map_statistics(const GridValues& v, double pitch,
                                            const GridCounts* rays) {
  MapStatistics s;
  double mx = 0, my = 0;
  std::int64_t lit_rays = 0;
  bool any = false;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      const double w = v[i][j];
      if (w == 0) continue;
      any = true;
      s.sum += w;
      mx += w * centre_of(i, pitch);
      my += w * centre_of(j, pitch);
      if (w > s.peak) {
        s.peak = w;
        s.peak_cell = {i, j};
      }
      ++s.lit_cells;
      if (rays != nullptr) lit_rays += (*rays)[i][j];
    }
  }
  if (!any || !(s.sum > 0) || !(s.peak > 0)) return std::nullopt;
  s.peak_at = {centre_of(s.peak_cell[0], pitch), centre_of(s.peak_cell[1], pitch)};
  s.centroid = {mx / s.sum, my / s.sum};

  double vx = 0, vy = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      const double w = v[i][j];
      const double dx = centre_of(i, pitch) - s.centroid[0];
      const double dy = centre_of(j, pitch) - s.centroid[1];
      vx += w * dx * dx;
      vy += w * dy * dy;
    }
  }
  s.rms_width = {std::sqrt(vx / s.sum), std::sqrt(vy / s.sum)};

  std::array<double, N> row{}, column{};
  for (int k = 0; k < N; ++k) {
    row[k] = v[k][s.peak_cell[1]];
    column[k] = v[s.peak_cell[0]][k];
  }
  s.fwhm = {half_crossing(row, s.peak_cell[0], +1, pitch) - half_crossing(row, s.peak_cell[0], -1, pitch),
            half_crossing(column, s.peak_cell[1], +1, pitch) -
                half_crossing(column, s.peak_cell[1], -1, pitch)};

  double count = 0, total = 0, lowest = s.peak;
  for (const auto& line : v) {
    for (double w : line) {
      if (w < s.peak / 2) continue;
      ++count;
      total += w;
      lowest = std::min(lowest, w);
    }
  }
  const double mean = total / count;
  double spread = 0;
  for (const auto& line : v) {
    for (double w : line) {
      if (w >= s.peak / 2) spread += (w - mean) * (w - mean);
    }
  }
  s.uniformity_min_mean = lowest / mean;
  s.uniformity_std_mean = std::sqrt(spread / count) / mean;
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
      {"FWHM", "full width at half maximum: along the row and the column through the peak, the "
               "distance between the two points where the map falls to half the peak, "
               "interpolated linearly between cell centres (to the last cell centre where it "
               "does not fall that far inside the map)"},
      {"uniformity min/mean", "over the cells at or above half the peak: the smallest cell over "
                              "their mean (1 is perfectly even)"},
      {"uniformity std/mean", "over the same cells: their standard deviation over their mean "
                              "(0 is perfectly even)"},
      {"rays per lit cell", "the rays that landed, on average, in each cell with weight: below "
                            "100 a cell's value is too noisy to trust"},
  }};
}

}  // namespace varnock
