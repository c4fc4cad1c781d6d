#include "report/map_measures.h"

#include <algorithm>
#include <cmath>

namespace varnock {
namespace {

constexpr int N = GRID_SIZE;
constexpr int CENTRE = GRID_SIZE / 2;

std::optional<CellSpread> spread_of(const GridValues& map, auto&& counts) {
  CellSpread s;
  double total = 0, lowest = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      if (!counts(i, j)) continue;
      const double w = map[i][j];
      lowest = s.cells == 0 ? w : std::min(lowest, w);
      ++s.cells;
      total += w;
    }
  }
  if (s.cells == 0) return std::nullopt;
  s.mean = total / s.cells;
  if (!(s.mean > 0)) return std::nullopt;
  double spread = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      if (counts(i, j)) spread += (map[i][j] - s.mean) * (map[i][j] - s.mean);
    }
  }
  s.std_over_mean = std::sqrt(spread / s.cells) / s.mean;
  s.min_over_mean = lowest / s.mean;
  return s;
}

// The outermost crossings of half the profile's maximum, in cells from
// cell 0: the first from below and the last from above.
double profile_width_cells(const std::array<double, N>& p) {
  const double top = *std::max_element(p.begin(), p.end());
  if (!(top > 0)) return 0;
  const double half = top / 2;
  int first = 0, last = N - 1;
  while (p[first] < half) ++first;
  while (p[last] < half) --last;
  const double left = first == 0 ? 0 : first - (p[first] - half) / (p[first] - p[first - 1]);
  const double right = last == N - 1 ? N - 1 : last + (p[last] - half) / (p[last] - p[last + 1]);
  return right - left;
}

int cell_of(double position, double pitch) {
  if (!(pitch != 0) || !std::isfinite(position)) return CENTRE;
  const double cell = std::round(position / pitch) + CENTRE;
  return static_cast<int>(std::clamp(cell, 0.0, static_cast<double>(N - 1)));
}

}  // namespace

double cell_centre(int cell, double pitch) { return (cell - CENTRE) * pitch; }

std::optional<MapMoments> map_moments(const GridValues& v, double pitch) {
  MapMoments m;
  double mx = 0, my = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      const double w = v[i][j];
      if (w == 0) continue;
      m.sum += w;
      mx += w * cell_centre(i, pitch);
      my += w * cell_centre(j, pitch);
    }
  }
  if (!(m.sum > 0)) return std::nullopt;
  m.centroid = {mx / m.sum, my / m.sum};
  double vx = 0, vy = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      const double w = v[i][j];
      const double dx = cell_centre(i, pitch) - m.centroid[0];
      const double dy = cell_centre(j, pitch) - m.centroid[1];
      vx += w * dx * dx;
      vy += w * dy * dy;
    }
  }
  m.rms = {std::sqrt(vx / m.sum), std::sqrt(vy / m.sum)};
  m.rms_radius = std::sqrt((vx + vy) / m.sum);
  return m;
}

MapPeak map_peak(const GridValues& v) {
  MapPeak p;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      if (v[i][j] > p.value) p = MapPeak{v[i][j], {i, j}};
    }
  }
  return p;
}

std::optional<CellSpread> centred_square_spread(const GridValues& map, double pitch, double size) {
  // A centre on the edge counts: compare in cells, with room for the
  // rounding of size / pitch.
  const double reach = size / (2 * std::fabs(pitch));
  if (!(reach >= 0)) return std::nullopt;
  const double limit = reach * (1 + 1e-12) + 1e-12;
  return spread_of(map, [&](int i, int j) {
    return std::abs(i - CENTRE) <= limit && std::abs(j - CENTRE) <= limit;
  });
}

std::optional<CellSpread> half_peak_spread(const GridValues& map) {
  const double half = map_peak(map).value / 2;
  return spread_of(map, [&](int i, int j) { return map[i][j] >= half; });
}

std::array<double, 2> map_fwhm(const GridValues& v, double pitch, const std::array<double, 2>& centroid) {
  const int ci = cell_of(centroid[0], pitch), cj = cell_of(centroid[1], pitch);
  std::array<double, N> row{}, column{};
  for (int k = 0; k < N; ++k) {
    row[k] = v[k][cj];
    column[k] = v[ci][k];
  }
  return {profile_width_cells(row) * std::fabs(pitch), profile_width_cells(column) * std::fabs(pitch)};
}

std::optional<double> map_match(const GridValues& map, const GridValues& target) {
  double a = 0, b = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      a += map[i][j];
      b += target[i][j];
    }
  }
  if (!(a > 0) || !(b > 0)) return std::nullopt;
  double difference = 0, size = 0;
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      const double t = target[i][j] / b;
      const double d = map[i][j] / a - t;
      difference += d * d;
      size += t * t;
    }
  }
  return std::sqrt(difference / (N * N)) / std::sqrt(size / (N * N));
}

}  // namespace varnock
