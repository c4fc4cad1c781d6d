// A run's work shared with other processes (the MPI build's varnock under
// mpirun): every process builds the fan and traces the tasks it is handed,
// and their exact sums and ray counts are combined in the process that
// writes the files. Only exact sums make this possible: they are the same
// bits however the rays were split, so the files are those of a run in one
// process.
#pragma once

#include <cstdint>
#include <vector>

#include "varnock/varnock.h"

namespace varnock {

class WorkShare {
 public:
  virtual ~WorkShare() = default;

  // Whether this process writes the fan listing and the report.
  virtual bool writes_files() const = 0;

  // Called by every process once its fan is built, before any ray is
  // traced, with what identifies its run: the number of tasks it is cut
  // into and a hash of the sheet's bytes (the processes must agree on
  // both). Throws RunError when another process could not get this far or
  // sees another run.
  virtual void start(const ProcessInfo& self, std::uint64_t total_tasks,
                     std::uint64_t sheet_hash) = 0;

  // This process's next run of the run's tasks, [first, last) of total;
  // false once every task has been handed out. Called under the runner's
  // lock, from any of the tracing threads.
  virtual bool next_tasks(std::uint64_t total, std::uint64_t& first, std::uint64_t& last) = 0;

  // Combines the processes' sums and counts once each has traced what it
  // was handed: sums holds this process's exact accumulators in their byte
  // layout, counts its ray counts. In the process that writes the files
  // they become the whole run's.
  virtual void combine(std::vector<std::uint8_t>& sums, std::vector<std::int64_t>& counts) = 0;

  // Every process's info, by rank, in the writer after start(); empty elsewhere.
  virtual std::vector<ProcessInfo> processes() const = 0;
};

}  // namespace varnock
