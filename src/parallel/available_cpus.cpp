// The CPUs this process may run on. Under a scheduler, a container or
// mpirun the machine's CPU count says little: the affinity mask says which
// CPUs the process may use, and a cgroup CPU quota how much of them.
#include <thread>

#include "platform/platform.h"
#include "varnock/varnock.h"

namespace varnock {

unsigned available_cpus() {
  unsigned cpus = platform::usable_cpus();
  if (cpus == 0) cpus = std::thread::hardware_concurrency();
  return cpus > 0 ? cpus : 1;
}

}  // namespace varnock
