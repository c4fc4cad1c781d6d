// `varnock check SHEET`: the system, the size and likely time of its run,
// and its likely mistakes, before a run.
#pragma once

#include <CLI/CLI.hpp>

namespace varnock_cli {

void add_check_command(CLI::App& app, int& exit_code);

}  // namespace varnock_cli
