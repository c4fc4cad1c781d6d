// The report page for results a run left behind (varnock plot): from an
// OUT_M.txt, with the system when the sheet IN_FM.txt lies beside it and
// the run's details when its run.json does.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "varnock/varnock.h"

namespace varnock {

struct PlotOptions {
  std::filesystem::path output_dir;  // empty: the report's folder
  FigureFormat figures = FigureFormat::None;
  bool csv = false;
  unsigned threads = 0;  // for building the sheet's fan
};

struct PlotResult {
  std::filesystem::path page;      // the report.html written
  std::vector<std::string> notes;  // what the page warns about (a changed sheet, ...)
  bool with_system = false;        // the sheet was found and read
};

// path is an OUT_M.txt or a folder holding one. Throws ReportError for a
// report that is missing, empty, truncated or not a report, and
// std::runtime_error when a file cannot be written.
PlotResult plot_folder(const std::filesystem::path& path, const PlotOptions& options);

}  // namespace varnock
