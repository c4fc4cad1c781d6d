#include "api/plot_folder.h"

#include <system_error>

#include "api/run_record.h"
#include "report/report_page.h"
#include "run/run_driver.h"
#include "support/files.h"
#include "support/number_text.h"
#include "support/run_error.h"

namespace varnock {
namespace {

// Where the sheet says otherwise than the report's headers, the report was
// made from another sheet (or the sheet was edited since).
void compare_headers(const RunParams& p, const ReportFile& r, std::vector<std::string>& notes) {
  std::string differ;
  auto check = [&](const char* name, const std::string& sheet, const std::string& report) {
    if (sheet != report) differ += std::string(differ.empty() ? "" : ", ") + name + " " + sheet + " in the sheet, " + report + " in the report";
  };
  check("DXY", fixed_text(p.DXY), fixed_text(r.DXY));
  check("DUV", fixed_text(p.DUV), fixed_text(r.DUV));
  check("SELI", std::to_string(p.SELI), std::to_string(r.SELI));
  check("SELJ", std::to_string(p.SELJ), std::to_string(r.SELJ));
  if (!differ.empty()) {
    notes.push_back("The sheet may have changed since the run: " + differ +
                    ". The system shown is the sheet's, the maps the report's.");
  }
}

}  // namespace

ReportSources folder_report_sources(const std::filesystem::path& report_path, ReportFile results,
                                    Model& model, unsigned threads, bool& with_system) {
  const std::filesystem::path folder =
      report_path.has_parent_path() ? report_path.parent_path() : std::filesystem::path(".");
  ReportSources sources;
  sources.results = std::move(results);
  sources.title = display(report_path);
  with_system = false;

  // The sheet beside the report: the system, and whether it still matches.
  std::error_code ec;
  const std::filesystem::path sheet = folder / SHEET_FILE;
  if (std::filesystem::is_regular_file(sheet, ec)) {
    try {
      const FanPlan plan = load_sheet(model, sheet, sources.warnings);
      build_fan(model.sys, plan, SourcePoint{}, nullptr, resolve_threads(threads));
      sources.system = &model.sys;
      sources.title = display(sheet) + " (from " + display(report_path.filename()) + ")";
      compare_headers(model.sys.params, sources.results, sources.notes);
      std::error_code e1, e2;
      const auto sheet_time = std::filesystem::last_write_time(sheet, e1);
      const auto report_time = std::filesystem::last_write_time(report_path, e2);
      if (!e1 && !e2 && sheet_time > report_time) {
        sources.notes.push_back("The sheet " + display(sheet.filename()) +
                                " is newer than the report: it may have changed since the run.");
      }
      with_system = true;
    } catch (const RunError& e) {
      sources.notes.push_back("The sheet beside the report cannot be read, so the system is not "
                              "shown: " + e.failure().describe());
    }
  }

  // The run's own record, when it still describes these files.
  try {
    if (const std::optional<RunRecord> record = read_run_record(folder)) {
      if (record->changed_files.empty()) {
        RunInfo info;
        info.totals = record->totals;
        info.elapsed_seconds = record->elapsed_seconds;
        info.threads = record->threads;
        info.mode = record->mode + (record->sums == "exact" ? ", exact sums" : "");
        info.simd = record->simd;
        sources.run = info;
      } else {
        std::string names;
        for (const std::string& n : record->changed_files) names += (names.empty() ? "" : ", ") + n;
        sources.notes.push_back("run.json does not match the files (" + names +
                                "): they were changed after the run, or the run did not finish "
                                "writing them.");
      }
    }
  } catch (const std::exception& e) {
    sources.notes.push_back(e.what());
  }

  return sources;
}

PlotResult plot_folder(const std::filesystem::path& path, const PlotOptions& options) {
  std::error_code ec;
  const bool folder_given = std::filesystem::is_directory(path, ec);
  const std::filesystem::path report_path = folder_given ? path / REPORT_FILE : path;
  const std::filesystem::path folder =
      report_path.has_parent_path() ? report_path.parent_path() : std::filesystem::path(".");

  PlotResult result;
  Model model;
  const ReportSources sources = folder_report_sources(report_path, read_report(report_path), model,
                                                      options.threads, result.with_system);

  const std::filesystem::path out = options.output_dir.empty() ? folder : options.output_dir;
  result.page = out / REPORT_PAGE_FILE;
  write_report_page(sources, result.page);
  const PathOf in_out = [&](const std::string& name) { return out / name; };
  write_report_figures(sources, options.figures, in_out);
  if (options.csv) write_report_csv(sources.results, in_out);
  result.notes = sources.notes;
  return result;
}

}  // namespace varnock
