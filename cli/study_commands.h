// varnock sweep, varnock trials and varnock merge: studies of many runs of
// one sheet.
#pragma once

#include <CLI/CLI.hpp>

namespace varnock_cli {

void add_sweep_command(CLI::App& app, int& exit_code);
void add_trials_command(CLI::App& app, int& exit_code);
void add_merge_command(CLI::App& app, int& exit_code);
// varnock optimize: the cell values that give the light asked for.
void add_optimize_command(CLI::App& app, int& exit_code);

}  // namespace varnock_cli
