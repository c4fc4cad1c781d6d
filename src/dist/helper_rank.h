// The part of a rank other than 0 in a shared run: it reads the sheet,
// builds the fan and traces what it is handed, and writes nothing.
#pragma once

#include <filesystem>

#include "varnock/varnock.h"

namespace varnock {

// options.share must be set (and not write files).
RunResult run_helper_rank(const std::filesystem::path& sheet, const RunOptions& options);

}  // namespace varnock
