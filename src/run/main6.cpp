// The drop-in entry of the shared library Varnock64: one exported function,
// main6, that the spreadsheet front end calls with no arguments after it has
// written IN_FM.txt into the exchange folder, and that leaves OUT_MI.txt,
// OUT_MR.txt and OUT_M.txt there. It reports nothing: on any failure it
// leaves OUT_M.txt empty, so that no earlier report passes for this call's.
//
// The exchange folder is C:\VBA_C_APP64\ on Windows. Elsewhere it is the
// folder named by VARNOCK_DIR, or the current working folder.
#include <cstdlib>
#include <filesystem>

#include "varnock/varnock.h"

#if defined(_WIN32)
#define VARNOCK_EXPORT extern "C" __declspec(dllexport)
#else
#define VARNOCK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// One model for the life of the loaded library: each call starts from the
// state the previous call left.
varnock::Session& library_session() {
  static varnock::Session session;
  return session;
}

std::filesystem::path exchange_folder() {
#if defined(_WIN32)
  return std::filesystem::path(L"C:\\VBA_C_APP64\\");
#else
  const char* dir = std::getenv("VARNOCK_DIR");
  return dir != nullptr && *dir != '\0' ? std::filesystem::path(dir) : std::filesystem::path(".");
#endif
}

}  // namespace

VARNOCK_EXPORT void main6(void) {
  try {
    const std::filesystem::path dir = exchange_folder();
    varnock::RunOptions options;
    options.create_empty_report_on_failure = true;
    library_session().run(dir / varnock::SHEET_FILE, dir, options);
  } catch (...) {
    // Nothing may escape into the caller's process; Session::run reports
    // its own failures, so this catches only the unforeseen.
  }
}
