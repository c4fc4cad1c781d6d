// Exit codes of every subcommand.
#pragma once

namespace varnock_cli {

inline constexpr int EXIT_OK = 0;            // done
inline constexpr int EXIT_FAILED = 1;        // a file could not be written, or another failure
inline constexpr int EXIT_BAD_INPUT = 2;     // bad usage, or a sheet that is missing or refused
inline constexpr int EXIT_INTERRUPTED = 130; // stopped by Ctrl-C (SIGINT)
inline constexpr int EXIT_TERMINATED = 143;  // stopped by a termination request (SIGTERM)

}  // namespace varnock_cli
