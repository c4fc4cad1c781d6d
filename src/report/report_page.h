// The report of a run for people: report.html (one self-contained page with
// the run, the system and the three maps), and on request the maps and the
// drawing as figure files and the grids as CSV. varnock run writes it from
// the run it made, varnock plot from the files a run left behind.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/model.h"
#include "report/report_file.h"
#include "varnock/varnock.h"

namespace varnock {

inline constexpr const char* REPORT_PAGE_FILE = "report.html";

// How a run went, from the run itself or from its run.json.
struct RunInfo {
  RunTotals totals;
  double elapsed_seconds = 0;
  unsigned threads = 1;
  std::string mode = "exact";
  std::string simd;
};
RunInfo run_info_of(const RunSuccess& run);

// What a report is made from. Only the grids and totals are required.
struct ReportSources {
  std::string title;                     // the sheet's or the report's name
  ReportFile results;                    // totals, headers and grids
  std::optional<RunInfo> run;            // when known
  const RunMaps* rays = nullptr;         // rays per cell, from a run made here
  const SystemState* system = nullptr;   // the sheet with its fan built, when known
  std::vector<std::string> warnings;     // the sheet's
  std::vector<std::string> notes;        // what the reader must see first
};

// The results of a run as its report file holds them.
ReportFile results_of(const RunSuccess& run, const RunParams& params);

// The page's data as JSON, and the page itself.
std::string report_data_json(const ReportSources& sources);
void write_report_page(const ReportSources& sources, const std::filesystem::path& path);

// Where a file of the report goes, by its name ("IXY.png").
using PathOf = std::function<std::filesystem::path(const std::string& name)>;

// The names of the figure files of a format: IXY, IUV and IUV_P, and
// layout when the system is known.
std::vector<std::string> report_figure_names(FigureFormat format, bool with_system);
void write_report_figures(const ReportSources& sources, FigureFormat format, const PathOf& path_of);

// IXY.csv, IUV.csv and IUV_P.csv: a header comment with the units, then a
// first row of the first index's cell centres and one row per second index
// (as the lines of OUT_M.txt) led by its cell centre.
std::vector<std::string> report_csv_names();
void write_report_csv(const ReportFile& results, const PathOf& path_of);

}  // namespace varnock
