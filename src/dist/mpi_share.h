// A run shared among the ranks of an MPI job. Rank 0 writes the files and
// traces too. The tasks are handed out in runs from a counter in rank 0's
// memory that every rank takes from with an atomic fetch-and-add (one-sided,
// so rank 0 need not answer), which keeps fast and slow ranks busy to the
// end. The exact accumulators are then reduced to rank 0 with a merge of
// their bytes, and the ray counts with an integer sum.
#pragma once

#include <mpi.h>

#include <cstdint>
#include <vector>

#include "dist/mpi_job.h"
#include "run/work_share.h"

namespace varnock {

class MpiShare final : public WorkShare {
 public:
  // Collective: every rank makes its share at the same point.
  explicit MpiShare(MpiJob& job);
  // A share left before the tracing started tells the others, as fail()
  // does; one left while the ranks trace ends the job.
  ~MpiShare() override;
  MpiShare(const MpiShare&) = delete;
  MpiShare& operator=(const MpiShare&) = delete;

  bool writes_files() const override { return job_.rank() == 0; }
  void start(const ProcessInfo& self, std::uint64_t total_tasks, std::uint64_t sheet_hash) override;
  bool next_tasks(std::uint64_t total, std::uint64_t& first, std::uint64_t& last) override;
  void combine(std::vector<std::uint8_t>& sums, std::vector<std::int64_t>& counts) override;
  std::vector<ProcessInfo> processes() const override;

  // This rank's run failed with exit status code. Before the tracing
  // started the other ranks learn it there and fail too; while the ranks
  // trace, the whole job ends with code; after the combining nothing is
  // left to tell.
  void fail(int code);
  // Whether the run stopped because of another rank (which says why); a
  // rank other than 0 then has nothing to add.
  bool failed_elsewhere() const { return failed_elsewhere_; }

 private:
  enum class Stage { Waiting, Tracing, Combined, Over };
  void exchange(bool ok, const ProcessInfo& self, std::uint64_t total_tasks, std::uint64_t sheet_hash);
  void free_window();

  MpiJob& job_;
  Stage stage_ = Stage::Waiting;
  bool failed_elsewhere_ = false;
  MPI_Win window_ = MPI_WIN_NULL;  // rank 0's holds the next task to hand out
  std::uint64_t run_length_ = 1;       // tasks taken at a time
  MPI_Datatype accumulator_ = MPI_DATATYPE_NULL;
  MPI_Op merge_ = MPI_OP_NULL;
  std::vector<ProcessInfo> processes_;
};

}  // namespace varnock
