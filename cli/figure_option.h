// The --figures option of run and plot.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "report/figures.h"
#include "varnock/varnock.h"

namespace varnock_cli {

inline void add_figure_option(CLI::App& cmd, std::string& value) {
  cmd.add_option("--figures", value,
                 "Also write each map and the drawing of the system as a figure file: "
                 "IXY.<ext>, IUV.<ext>, IUV_P.<ext>, layout.<ext>")
      ->check(CLI::IsMember({"svg", "png", "pdf"}))
      ->check(CLI::Validator(
          [](const std::string&) { return varnock::figures_unavailable().value_or(""); },
          "", "figures"));
}

inline varnock::FigureFormat figure_format(const std::string& value) {
  if (value == "png") return varnock::FigureFormat::Png;
  if (value == "svg") return varnock::FigureFormat::Svg;
  if (value == "pdf") return varnock::FigureFormat::Pdf;
  return varnock::FigureFormat::None;
}

}  // namespace varnock_cli
