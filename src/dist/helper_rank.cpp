#include "dist/helper_rank.h"

#include "api/simd_choice.h"
#include "model/model.h"
#include "run/run_driver.h"
#include "support/files.h"

namespace varnock {

RunResult run_helper_rank(const std::filesystem::path& sheet, const RunOptions& options) {
  const std::optional<BlockTracer> tracer = block_tracer_for(options);
  if (!tracer) {
    return RunFailure{FailureKind::Unsupported, display(sheet), 0, 0,
                      std::string("the fast mode's ") + simd_path_name(options.simd) +
                          " path is not available on this processor or in this build"};
  }
  Model model;
  return run_sheet_result(model, sheet, OutputNames{}, options, *tracer);
}

}  // namespace varnock
