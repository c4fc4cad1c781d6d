// Figures for documents, drawn with cairo: each map as a false-colour image
// with its colour bar and axes, and the drawing of the system. One drawing
// code writes PNG, SVG and PDF, for scripts and documents; the report page
// draws its own figures.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "report/system_view.h"
#include "varnock/varnock.h"

namespace varnock {

// "png", "svg", "pdf": the file name extension.
const char* figure_extension(FigureFormat format);

// Why this build cannot draw figures (the Windows build has no cairo), or
// nothing when it can. Where it cannot, the functions below throw
// std::runtime_error with that text.
std::optional<std::string> figures_unavailable();

struct MapFigure {
  std::string name;   // IXY, IUV or IUV_P
  std::string title;
  const GridValues* values = nullptr;
  double pitch = 1;   // in the unit below
  std::string unit;   // mm or mrad
  std::array<std::string, 2> axes;  // quantity names: x, y or U, V
  std::optional<std::array<int, 2>> selected;  // a cell to outline
};

// The map with x (or U) to the right and y (or V) upwards, as seen looking
// along +z. Throws std::runtime_error when the file cannot be written.
void write_map_figure(const MapFigure& map, FigureFormat format, const std::filesystem::path& path);

// The drawing of the system and its sample rays.
void write_layout_figure(const SystemLayout& layout, FigureFormat format,
                         const std::filesystem::path& path);

}  // namespace varnock
