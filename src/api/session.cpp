#include "api/run_record.h"
#include "api/simd_choice.h"
#include "model/model.h"
#include "run/run_driver.h"
#include "support/files.h"
#include "varnock/varnock.h"

namespace varnock {

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
  if (result.ok() && options.write_run_record) {
    try {
      write_run_record(sheet, output_dir, result.success());
    } catch (const std::exception& e) {
      return RunFailure{FailureKind::Output, display(output_dir / RUN_RECORD_FILE), 0, 0,
                        e.what()};
    }
  }
  return result;
}

}  // namespace varnock
