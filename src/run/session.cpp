#include <exception>
#include <new>

#include "model/model.h"
#include "run/run_driver.h"
#include "support/files.h"
#include "support/run_error.h"
#include "varnock/varnock.h"

#ifndef VARNOCK_VERSION
#define VARNOCK_VERSION "unknown"
#endif

namespace varnock {

const char* version() { return VARNOCK_VERSION; }

Session::Session() : model_(std::make_unique<Model>()) {}
Session::~Session() = default;

RunResult Session::run(const std::filesystem::path& sheet, const std::filesystem::path& output_dir,
                       const RunOptions& options) {
  RunFailure failure;
  try {
    return run_sheet(*model_, sheet, output_dir, options);
  } catch (const RunError& e) {
    failure = e.failure();
  } catch (const std::bad_alloc&) {
    failure = RunFailure{FailureKind::Output, display(sheet), 0, 0, "out of memory"};
  } catch (const std::exception& e) {
    failure = RunFailure{FailureKind::Output, display(sheet), 0, 0, e.what()};
  }
  // The drop-in entry's caller reads OUT_M.txt whatever happened: it must
  // find it empty rather than an earlier report.
  if (options.create_empty_report_on_failure) empty_file(output_dir / REPORT_FILE, true);
  return failure;
}

}  // namespace varnock
