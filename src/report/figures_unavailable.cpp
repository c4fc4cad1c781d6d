// Figures in a build without cairo (the Windows build: the cross-compiler
// has no cairo). The report page saves every figure as PNG or SVG itself.
#include <stdexcept>

#include "report/figures.h"

namespace varnock {

std::optional<std::string> figures_unavailable() {
  return std::string(
      "figure files need cairo, which this build does not have: open report.html and save each "
      "figure with its PNG or SVG button");
}

void write_map_figure(const MapFigure&, FigureFormat, const std::filesystem::path&) {
  throw std::runtime_error(*figures_unavailable());
}

void write_layout_figure(const SystemLayout&, FigureFormat, const std::filesystem::path&) {
  throw std::runtime_error(*figures_unavailable());
}

}  // namespace varnock
