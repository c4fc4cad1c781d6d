#include <chrono>
#include <system_error>

#include "api/result_set.h"
#include "api/run_record.h"
#include "api/simd_choice.h"
#include "model/model.h"
#include "report/figures.h"
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
void write_extras(const Model& model, const std::filesystem::path& sheet, const ResultSet& set,
                  const std::filesystem::path& dir, const RunOptions& options, RunSuccess& run) {
  const auto start = std::chrono::steady_clock::now();
  const PathOf temporary = [&](const std::string& name) { return set.temporary(name); };
  if (options.write_report_page || options.figures != FigureFormat::None) {
    ReportSources sources;
    sources.title = display(sheet.filename());
    sources.results = results_of(run, model.sys.params);
    sources.run = run_info_of(run);
    sources.rays = &run.maps;
    sources.system = &model.sys;
    sources.warnings = run.warnings;
    if (options.write_report_page) write_report_page(sources, set.temporary(REPORT_PAGE_FILE));
    write_report_figures(sources, options.figures, temporary);
  }
  if (options.write_csv) write_report_csv(results_of(run, model.sys.params), temporary);
  run.parts.page = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (options.write_run_record) {
    OutputFile record(set.temporary(RUN_RECORD_FILE));
    record.write(run_record_text(sheet, dir, run, set.suffix()));
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

}  // namespace

Session::Session() : model_(std::make_unique<Model>()) {}
Session::~Session() = default;

RunResult Session::run(const std::filesystem::path& sheet, const std::filesystem::path& output_dir,
                       const RunOptions& options) {
  const std::optional<BlockTracer> tracer = block_tracer_for(options);
  if (!tracer) {
    return RunFailure{FailureKind::Unsupported, display(sheet), 0, 0,
                      std::string("the fast mode's ") + simd_path_name(options.simd) +
                          " path is not available on this processor or in this build"};
  }
  if (options.figures != FigureFormat::None) {
    if (const std::optional<std::string> why = figures_unavailable()) {
      return RunFailure{FailureKind::Unsupported, display(sheet), 0, 0, *why};
    }
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(output_dir, ec)) {
    // Nothing can be written: the run refuses the sheet or the folder.
    return run_sheet_result(*model_, sheet, {output_dir, ".unwritten"}, options, *tracer);
  }
  try {
    ResultSet set(output_dir);
    plan_set(set, options, true);
    const std::optional<std::string> broken = broken_set_note(output_dir);
    RunResult result =
        run_sheet_result(*model_, sheet, {output_dir, set.suffix()}, options, *tracer);
    if (!result.ok()) return result;
    RunSuccess run = result.success();
    if (broken) run.notes.push_back(*broken);
    write_extras(*model_, sheet, set, output_dir, options, run);
    if (options.cancel != nullptr && options.cancel->load()) fail_cancelled(display(sheet));
    set.commit();
    return run;
  } catch (const RunError& e) {
    return e.failure();
  } catch (const std::exception& e) {
    return RunFailure{FailureKind::Output, display(output_dir), 0, 0, e.what()};
  }
}

}  // namespace varnock
