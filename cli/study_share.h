// A study under mpirun (the MPI build): every rank runs the command, takes
// the points whose index modulo the ranks is its own into the one folder,
// and rank 0 writes the CSV and the report once all are done. Outside a
// job of several ranks, a study of one process.
#pragma once

#include <cstdint>
#include <string>

namespace varnock_cli {

struct StudyShare {
  int rank = 0, size = 1;

  static StudyShare of_job();
  bool shared() const { return size > 1; }
  // "rank N: " before a message of a rank other than 0, else nothing.
  std::string who() const;
  // Collective, once every rank's share is done or stopped: the job's exit
  // status (the largest of the ranks') and, into run_now, the points the
  // ranks ran together.
  int settle(int code, std::int64_t& run_now) const;
};

}  // namespace varnock_cli
