#include "dist/mpi_job.h"

#include <mpi.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "dist/mpi_wait.h"

namespace varnock {
namespace {

MpiJob* current_job = nullptr;

}  // namespace

bool launched_by_mpi() {
  // OpenMPI, PMIx (OpenMPI 4 and 5, Slurm) and the PMI of MPICH and Slurm.
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_SIZE", "PMI_RANK"}) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

void wait_gently(MPI_Request& request) {
  // Short naps at first, so that a quick answer is not delayed by much.
  auto nap = std::chrono::microseconds(20);
  for (int done = 0;;) {
    MPI_Test(&request, &done, MPI_STATUS_IGNORE);
    if (done) return;
    std::this_thread::sleep_for(nap);
    if (nap < std::chrono::milliseconds(2)) nap *= 2;
  }
}

MpiJob::MpiJob(int& argc, char**& argv) {
  current_job = this;
  if (!launched_by_mpi()) return;
  // The tracing threads ask for work one at a time, under a lock.
  int provided = 0;
  MPI_Init_thread(&argc, &argv, MPI_THREAD_SERIALIZED, &provided);
  started_ = true;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
  MPI_Comm_size(MPI_COMM_WORLD, &size_);
  if (provided < MPI_THREAD_SERIALIZED) {
    if (rank_ == 0) {
      std::cerr << "varnock: this MPI library does not let several threads call it in turn "
                   "(MPI_THREAD_SERIALIZED); a run on it cannot be shared\n";
    }
    abort(1);
  }
}

MpiJob::~MpiJob() {
  if (started_) MPI_Finalize();
  current_job = nullptr;
}

MpiJob* MpiJob::current() { return current_job; }

int MpiJob::max_of(int value) {
  if (!started_) return value;
  int all = 0;
  MPI_Request request;
  MPI_Iallreduce(&value, &all, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD, &request);
  wait_gently(request);
  return all;
}

long long MpiJob::sum_of(long long value) {
  if (!started_) return value;
  long long all = 0;
  MPI_Request request;
  MPI_Iallreduce(&value, &all, 1, MPI_LONG_LONG, MPI_SUM, MPI_COMM_WORLD, &request);
  wait_gently(request);
  return all;
}

void MpiJob::abort(int code) {
  std::cerr.flush();
  if (started_) MPI_Abort(MPI_COMM_WORLD, code);
  std::_Exit(code);
}

}  // namespace varnock
