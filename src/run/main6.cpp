// The drop-in entry of the shared library Varnock64: one exported function,
// main6, that the spreadsheet front end calls with no arguments after it has
// written IN_FM.txt into the exchange folder, and that leaves OUT_MI.txt,
// OUT_MR.txt and OUT_M.txt there. It reports nothing: on any failure it
// leaves OUT_M.txt empty, so that no earlier report passes for this call's.
//
// The exchange folder is C:\VBA_C_APP64\ on Windows. Elsewhere it is the
// folder named by VARNOCK_DIR, or the current working folder. The rays are
// traced on worker threads inside the call, as many as VARNOCK_THREADS says
// (0 or unset: the CPUs this process may run on); every thread has ended
// when main6 returns, so the front end may unload the library at once.
//
// By default main6 traces exactly, the legacy library's bytes. With the
// environment variable VARNOCK_MODE set to fast (read at every call) it
// traces in fast mode on the widest instruction set the processor has.
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "model/model.h"
#include "platform/export.h"
#include "platform/platform.h"
#include "run/run_driver.h"
#if defined(VARNOCK_HAVE_FAST)
#include "fast/fast_tracers.h"
#endif
#include "support/files.h"
#include "varnock/varnock.h"

namespace {

// One model for the life of the loaded library: each call starts from the
// source point the previous call ended on.
varnock::Model& library_model() {
  static varnock::Model model;
  return model;
}

std::filesystem::path exchange_folder() { return varnock::platform::default_exchange_folder(); }

// VARNOCK_THREADS as a whole number of threads; anything else (unset, empty,
// negative, not a number) means the default, 0.
unsigned threads_from_environment() {
  const char* text = std::getenv("VARNOCK_THREADS");
  if (text == nullptr || *text == '\0') return 0;
  unsigned long long value = 0;
  for (const char c : std::string_view(text)) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > varnock::MAX_THREADS) value = varnock::MAX_THREADS;
  }
  return static_cast<unsigned>(value);
}

// The exact tracer, or the fast one when VARNOCK_MODE is "fast" exactly.
varnock::BlockTracer tracer_from_environment() {
#if defined(VARNOCK_HAVE_FAST)
  const char* mode = std::getenv("VARNOCK_MODE");
  if (mode != nullptr && std::string_view(mode) == "fast") {
    return varnock::fast::tracer(varnock::SimdPath::Auto);
  }
#endif
  return varnock::BlockTracer{};
}

}  // namespace

VARNOCK_EXPORT void main6(void) {
  try {
    const std::filesystem::path dir = exchange_folder();
    varnock::RunOptions options;
    options.threads = threads_from_environment();
    const varnock::BlockTracer tracer = tracer_from_environment();
    const varnock::RunResult result = varnock::run_sheet_result(
        library_model(), dir / varnock::SHEET_FILE, {dir, ""}, options, tracer);
    // The caller reads OUT_M.txt whatever happened: it must find it empty
    // rather than an earlier report.
    if (!result.ok()) varnock::empty_file(dir / varnock::REPORT_FILE, true);
  } catch (...) {
    // Nothing may escape into the caller's process.
  }
}
