// Waiting for a non-blocking MPI operation without spinning a core: a rank
// that waits for the others (for the writer's fan listing, or for a slow
// rank's last tasks) leaves its CPU to them.
#pragma once

#include <mpi.h>

namespace varnock {

void wait_gently(MPI_Request& request);

}  // namespace varnock
