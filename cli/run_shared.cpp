#include "run_shared.h"

#include <iostream>

#include "dist/helper_rank.h"
#include "dist/mpi_job.h"
#include "exit_codes.h"

namespace varnock_cli {

std::optional<int> SharedRun::join(const std::filesystem::path& sheet, varnock::RunOptions& options,
                                   ExitCodeOf exit_code_of) {
  varnock::MpiJob* job = varnock::MpiJob::current();
  if (job == nullptr || !job->shared()) return std::nullopt;
  if (!options.exact_sums) {
    if (job->rank() == 0) {
      std::cerr << "varnock: a run shared among " << job->size()
                << " MPI ranks needs --exact-sums: the default sums are running sums in the order "
                   "of one process, and sums of the ranks' parts added together would round "
                   "differently for every number of ranks; exact sums are the same however the "
                   "work is split (run without mpirun for the default sums)\n";
    }
    return EXIT_BAD_INPUT;
  }
  share_ = std::make_unique<varnock::MpiShare>(*job);
  options.share = share_.get();
  if (job->rank() == 0) return std::nullopt;

  // The others: no progress or size notes of their own, and a message only
  // about a failure that is theirs alone.
  options.on_progress = nullptr;
  options.on_size = nullptr;
  const varnock::RunResult result = varnock::run_helper_rank(sheet, options);
  if (result.ok()) return EXIT_OK;
  const int code = exit_code_of(result.failure());
  share_->fail(code);
  if (!share_->failed_elsewhere() && result.failure().kind != varnock::FailureKind::Cancelled) {
    std::cerr << "varnock: rank " << job->rank() << ": " << result.failure().describe() << '\n';
  }
  return code;
}

void SharedRun::end(int code) {
  if (share_ && code != EXIT_OK) share_->fail(code);
}

}  // namespace varnock_cli
