// The report page for results a run left behind (varnock plot): from an
// OUT_M.txt, with the system when the sheet IN_FM.txt lies beside it and
// the run's details when its run.json does.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "model/model.h"
#include "report/report_page.h"
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

// What the page of a report already read from report_path is made of:
// results, with the system when the sheet IN_FM.txt lies beside it (read
// into model, which the sources then point into and which must outlive
// them) and the run's details when its run.json still matches the files;
// notes say what does not fit. with_system tells whether the sheet was read.
// varnock watch builds its pages from this too.
ReportSources folder_report_sources(const std::filesystem::path& report_path, ReportFile results,
                                    Model& model, unsigned threads, bool& with_system);

// path is an OUT_M.txt or a folder holding one. Throws ReportError for a
// report that is missing, empty, truncated or not a report, and
// std::runtime_error when a file cannot be written.
PlotResult plot_folder(const std::filesystem::path& path, const PlotOptions& options);

}  // namespace varnock
