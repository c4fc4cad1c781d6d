#include <chrono>
#include <system_error>

#include "api/result_set.h"
#include "api/run_record.h"
#include "api/simd_choice.h"
#include "model/model.h"
#include "report/figures.h"
#include "report/html_page.h"
#include "report/map_statistics.h"
#include "report/report_page.h"
#include "run/run_driver.h"
#include "support/files.h"
#include "support/run_error.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

// Files of the set the run writes, in the order they are moved into place:
// the result files, then the report OUT_M.txt, then the run record.
void plan_set(ResultSet& set, const RunOptions& options, bool with_system) {
  set.add(FAN_LISTING_FILE);
  set.add(PASS_MARKER_FILE);
  if (options.write_report_page) set.add(REPORT_PAGE_FILE);
  for (const std::string& name : report_figure_names(options.figures, with_system)) set.add(name);
  if (options.write_csv) {
    for (const std::string& name : report_csv_names()) set.add(name);
  }
  set.add(REPORT_FILE);
  if (options.write_run_record) set.add(RUN_RECORD_FILE);
  // What the run does not replace may not stay to pass for its own.
  if (!options.write_report_page) set.remove_on_commit(REPORT_PAGE_FILE);
  if (!options.write_run_record) set.remove_on_commit(RUN_RECORD_FILE);
}

// What a successful run writes beside its three files, under the set's
// temporary names: the report page, figures, CSV, and last the run record,
// which describes the three files.
ReportSources report_sources(const SystemState& sys, const Sheet& sheet, const RunSuccess& run) {
  ReportSources sources;
  sources.title = display(utf8_path(sheet.name()).filename());
  sources.results = results_of(run, sys.params);
  sources.run = run_info_of(run);
  sources.rays = &run.maps;
  sources.system = &sys;
  sources.warnings = run.warnings;
  return sources;
}

void write_extras(const Model& model, const Sheet& sheet, const ResultSet& set,
                  const std::filesystem::path& dir, const RunOptions& options, RunSuccess& run) {
  const auto start = std::chrono::steady_clock::now();
  const PathOf temporary = [&](const std::string& name) { return set.temporary(name); };
  if (options.write_report_page || options.figures != FigureFormat::None) {
    const ReportSources sources = report_sources(model.sys, sheet, run);
    if (options.write_report_page) write_report_page(sources, set.temporary(REPORT_PAGE_FILE));
    write_report_figures(sources, options.figures, temporary);
  }
  if (options.write_csv) write_report_csv(results_of(run, model.sys.params), temporary);
  run.parts.page = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (options.write_run_record) {
    OutputFile record(set.temporary(RUN_RECORD_FILE));
    record.write(run_record_text(sheet.name(), sheet.bytes(), dir, run, set.suffix()));
    record.close();
  }
}

// A set that no longer matches its record: a run into the folder was killed
// while it moved its files into place.
std::optional<std::string> broken_set_note(const std::filesystem::path& dir) {
  try {
    const std::optional<RunRecord> record = read_run_record(dir);
    if (!record || record->changed_files.empty()) return std::nullopt;
    std::string names;
    for (const std::string& n : record->changed_files) names += (names.empty() ? "" : ", ") + n;
    return "the results in " + display(dir) + " did not match their run.json (" + names +
           "): a run into the folder was stopped while it replaced them; this run replaces them";
  } catch (const std::exception& e) {
    return std::string(e.what()) + "; this run replaces it";
  }
}

// The statistics of the maps, as the report page computes them: positions
// in mm for IXY, mrad for IUV and IUV_P.
RunStatistics statistics_of(const RunMaps& maps) {
  const double mrad = 1000 * maps.DUV;
  return RunStatistics{map_statistics(maps.IXY, maps.DXY, &maps.IXY_rays),
                       map_statistics(maps.IUV, mrad, &maps.IUV_rays),
                       map_statistics(maps.IUV_P, mrad, &maps.IUV_P_rays)};
}

// Why the options cannot run here, if they cannot.
std::optional<RunFailure> unsupported(const RunOptions& options, const std::string& sheet_name,
                                      std::optional<BlockTracer>& tracer) {
  tracer = block_tracer_for(options);
  if (!tracer) {
    return RunFailure{FailureKind::Unsupported, sheet_name, 0, 0,
                      std::string("the fast mode's ") + simd_path_name(options.simd) +
                          " path is not available on this processor or in this build"};
  }
  if (options.figures != FigureFormat::None) {
    if (const std::optional<std::string> why = figures_unavailable()) {
      return RunFailure{FailureKind::Unsupported, sheet_name, 0, 0, *why};
    }
  }
  return std::nullopt;
}

RunResult with_statistics(RunResult result) {
  if (!result.ok()) return result;
  RunSuccess run = result.success();
  run.statistics = statistics_of(run.maps);
  return run;
}

}  // namespace

Session::Session() : model_(std::make_unique<Model>()) {}
Session::~Session() = default;

RunResult Session::run(const std::filesystem::path& sheet, const std::filesystem::path& output_dir,
                       const RunOptions& options) {
  std::optional<BlockTracer> tracer;
  if (std::optional<RunFailure> refused = unsupported(options, display(sheet), tracer)) return *refused;
  if (output_dir.empty()) {
    // This form always writes its files; run(Sheet, options) runs in memory.
    return RunFailure{FailureKind::Output, display(sheet), 0, 0, "no output folder was given"};
  }
  try {
    return run(Sheet::read(sheet), options, output_dir);
  } catch (const Error& e) {
    return e.failure();
  }
}

RunResult Session::run(const Sheet& sheet, const RunOptions& options,
                       const std::filesystem::path& output_dir) {
  std::optional<BlockTracer> tracer;
  if (std::optional<RunFailure> refused = unsupported(options, sheet.name(), tracer)) return *refused;
  const SheetInput input{sheet.bytes(), sheet.name()};
  if (output_dir.empty()) {
    return with_statistics(run_sheet_result(*model_, input, OutputNames{}, options, *tracer));
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(output_dir, ec)) {
    // Nothing can be written: the run refuses the sheet or the folder.
    return run_sheet_result(*model_, input, {output_dir, ".unwritten"}, options, *tracer);
  }
  try {
    ResultSet set(output_dir);
    plan_set(set, options, true);
    const std::optional<std::string> broken = broken_set_note(output_dir);
    RunResult result = run_sheet_result(*model_, input, {output_dir, set.suffix()}, options, *tracer);
    if (!result.ok()) return result;
    RunSuccess run = result.success();
    run.statistics = statistics_of(run.maps);
    if (broken) run.notes.push_back(*broken);
    write_extras(*model_, sheet, set, output_dir, options, run);
    if (options.cancel != nullptr && options.cancel->load()) fail_cancelled(sheet.name());
    set.commit();
    return run;
  } catch (const RunError& e) {
    return e.failure();
  } catch (const std::exception& e) {
    return RunFailure{FailureKind::Output, display(output_dir), 0, 0, e.what()};
  }
}

RunResult run(const Sheet& sheet, const RunOptions& options, const std::filesystem::path& output_dir) {
  Session session;
  return session.run(sheet, options, output_dir);
}

std::string report_page_html(const Sheet& sheet, const RunSuccess& run) {
  // The drawing needs the system with its fan, which the run did not keep:
  // the sheet is read again (as the run read it) without tracing.
  try {
    Model model;
    std::vector<std::string> ignored;
    const FanPlan plan = load_sheet(model, SheetInput{sheet.bytes(), sheet.name()}, ignored);
    build_fan(model.sys, plan, model.last_source, nullptr, 1, nullptr);
    return html_page(report_data_json(report_sources(model.sys, sheet, run)));
  } catch (const RunError& e) {
    throw Error(e.failure());
  }
}

}  // namespace varnock
