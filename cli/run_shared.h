// varnock run under mpirun (the MPI build): every rank runs the command;
// rank 0 runs the sheet as one process would, writing the files, and the
// others trace their share of it and write nothing.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "dist/mpi_share.h"
#include "varnock/varnock.h"

namespace varnock_cli {

class SharedRun {
 public:
  using ExitCodeOf = int (*)(const varnock::RunFailure&);

  // Outside a job of several ranks, does nothing and returns nothing. In
  // one, refuses a run without exact sums (every rank, rank 0 saying why),
  // and otherwise shares the run through options.share. Returns the exit
  // status where this rank is done: every rank but 0, once its share is
  // traced and combined.
  std::optional<int> join(const std::filesystem::path& sheet, varnock::RunOptions& options,
                          ExitCodeOf exit_code_of);

  // Rank 0's run ended with code, its outcome printed: a failure reaches
  // the other ranks (before the tracing) or ends the job (during it).
  void end(int code);

 private:
  std::unique_ptr<varnock::MpiShare> share_;
};

}  // namespace varnock_cli
