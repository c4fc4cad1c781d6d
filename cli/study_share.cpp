#include "study_share.h"

#ifdef VARNOCK_WITH_MPI
#include "dist/mpi_job.h"
#endif

namespace varnock_cli {

StudyShare StudyShare::of_job() {
  StudyShare share;
#ifdef VARNOCK_WITH_MPI
  if (const varnock::MpiJob* job = varnock::MpiJob::current(); job != nullptr && job->shared()) {
    share.rank = job->rank();
    share.size = job->size();
  }
#endif
  return share;
}

std::string StudyShare::who() const {
  return rank == 0 ? std::string() : "rank " + std::to_string(rank) + ": ";
}

int StudyShare::settle(int code, std::int64_t& run_now) const {
#ifdef VARNOCK_WITH_MPI
  if (varnock::MpiJob* job = varnock::MpiJob::current(); job != nullptr && job->shared()) {
    run_now = job->sum_of(run_now);
    return job->max_of(code);
  }
#endif
  (void)run_now;
  return code;
}

}  // namespace varnock_cli
