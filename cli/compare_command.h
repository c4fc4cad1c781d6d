// `varnock compare DIR_A DIR_B`: whether two result folders hold the same
// files and, if not, how far apart their results are.
#pragma once

#include <CLI/CLI.hpp>

namespace varnock_cli {

void add_compare_command(CLI::App& app, int& exit_code);

}  // namespace varnock_cli
