// `varnock watch DIR`: the report page of a folder's results, served on the
// loopback interface and redrawn in the browser whenever a new complete
// report arrives there.
#pragma once

#include <CLI/CLI.hpp>

namespace varnock_cli {

void add_watch_command(CLI::App& app, int& exit_code);

}  // namespace varnock_cli
