// This process's place in an MPI job. MPI is started only when a launcher
// (mpirun, mpiexec, srun) started the process; run by hand, the MPI build's
// varnock is a job of one and never touches MPI.
#pragma once

namespace varnock {

class MpiJob {
 public:
  // Starts MPI when launched by an MPI launcher; a no-op otherwise.
  MpiJob(int& argc, char**& argv);
  ~MpiJob();  // finalizes MPI when it was started
  MpiJob(const MpiJob&) = delete;
  MpiJob& operator=(const MpiJob&) = delete;

  // The job of this process: null before an MpiJob exists.
  static MpiJob* current();

  bool shared() const { return size_ > 1; }  // more than one rank
  int rank() const { return rank_; }
  int size() const { return size_; }

  // Collective, waiting without spinning: the largest of the ranks'
  // values, and their sum.
  int max_of(int value);
  long long sum_of(long long value);
  // Ends every rank of the job at once, with code as the exit status.
  [[noreturn]] void abort(int code);

 private:
  bool started_ = false;
  int rank_ = 0, size_ = 1;
};

// Whether an MPI launcher started this process (its environment says so).
bool launched_by_mpi();

}  // namespace varnock
