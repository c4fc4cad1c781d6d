// The human summary that `varnock run` prints after a run.
#pragma once

#include <filesystem>
#include <string>

#include "varnock/varnock.h"

namespace varnock_cli {

std::string format_summary(const std::filesystem::path& sheet,
                           const std::filesystem::path& output_dir,
                           const varnock::RunSuccess& result);

}  // namespace varnock_cli
