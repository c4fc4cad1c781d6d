#include <system_error>

#include "api/run_record.h"
#include "api/simd_choice.h"
#include "model/model.h"
#include "report/report_page.h"
#include "run/run_driver.h"
#include "support/files.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

// What a successful run writes beside its three files, as the options ask:
// the report page (or, without it, no stale one), figures, CSV, and last the
// run record, which describes everything before it.
void write_extras(const Model& model, const std::filesystem::path& sheet,
                  const std::filesystem::path& dir, const RunOptions& options,
                  const RunSuccess& run) {
  const bool sources_needed =
      options.write_report_page || options.figures != FigureFormat::None;
  if (sources_needed) {
    ReportSources sources;
    sources.title = display(sheet.filename());
    sources.results = results_of(run, model.sys.params);
    sources.run = run_info_of(run);
    sources.rays = &run.maps;
    sources.system = &model.sys;
    sources.warnings = run.warnings;
    if (options.write_report_page) write_report_page(sources, dir / REPORT_PAGE_FILE);
    write_report_figures(sources, options.figures, dir);
  }
  if (!options.write_report_page) {
    std::error_code ec;
    std::filesystem::remove(dir / REPORT_PAGE_FILE, ec);
  }
  if (options.write_csv) write_report_csv(results_of(run, model.sys.params), dir);
  if (options.write_run_record) write_run_record(sheet, dir, run);
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
  RunResult result = run_sheet_result(*model_, sheet, output_dir, options, *tracer);
  if (!result.ok()) return result;
  try {
    write_extras(*model_, sheet, output_dir, options, result.success());
  } catch (const std::exception& e) {
    return RunFailure{FailureKind::Output, display(output_dir), 0, 0, e.what()};
  }
  return result;
}

}  // namespace varnock
