// `varnock run`: runs one input sheet and writes its files.
#pragma once

#include <CLI/CLI.hpp>

namespace varnock_cli {

// Adds the subcommand to app; it runs when the command line names it.
void add_run_command(CLI::App& app, int& exit_code);

}  // namespace varnock_cli
