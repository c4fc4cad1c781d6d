// `varnock plot PATH`: the report page for results already on disk.
#pragma once

#include <CLI/CLI.hpp>

namespace varnock_cli {

void add_plot_command(CLI::App& app, int& exit_code);

}  // namespace varnock_cli
