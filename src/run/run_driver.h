// One complete run: sheet -> model -> fan -> source-position passes ->
// grids -> report.
#pragma once

#include <filesystem>

#include "model/model.h"
#include "varnock/varnock.h"

namespace varnock {

// Runs one sheet into output_dir. Throws RunError when the sheet is refused
// or a file cannot be written; nothing is written for a refused sheet.
RunSuccess run_sheet(Model& model, const std::filesystem::path& sheet,
                     const std::filesystem::path& output_dir, const RunOptions& options);

}  // namespace varnock
