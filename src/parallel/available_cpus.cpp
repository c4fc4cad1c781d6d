// The CPUs this process may run on. Under a scheduler, a container or
// mpirun the machine's CPU count says little: the affinity mask says which
// CPUs the process may use, and a cgroup CPU quota how much of them.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "varnock/varnock.h"

#if defined(_WIN32)
#include <windows.h>
#elif defined(__linux__)
#include <sched.h>
#endif

namespace varnock {
namespace {

#if defined(__linux__)
// The cgroup v2 folder of this process ("0::/path" in /proc/self/cgroup).
std::string cgroup_v2_folder() {
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("0::", 0) == 0) return "/sys/fs/cgroup" + line.substr(3);
  }
  return "/sys/fs/cgroup";
}

// CPUs' worth of the quota ("QUOTA PERIOD" in cpu.max, or cgroup v1's two
// files), rounded up; 0 when there is none.
unsigned cpu_quota() {
  for (std::string folder = cgroup_v2_folder();; folder = folder.substr(0, folder.rfind('/'))) {
    std::ifstream in(folder + "/cpu.max");
    std::string quota;
    double period = 0;
    if (in >> quota >> period && quota != "max" && period > 0) {
      const double q = static_cast<double>(std::strtoll(quota.c_str(), nullptr, 10)) / period;
      if (q > 0) return static_cast<unsigned>(std::ceil(std::min(q, 65536.0)));
    }
    if (folder.size() <= std::string("/sys/fs/cgroup").size()) break;
  }
  std::ifstream q1("/sys/fs/cgroup/cpu/cpu.cfs_quota_us");
  std::ifstream p1("/sys/fs/cgroup/cpu/cpu.cfs_period_us");
  double quota = 0, period = 0;
  if (q1 >> quota && p1 >> period && quota > 0 && period > 0) {
    return static_cast<unsigned>(std::ceil(std::min(quota / period, 65536.0)));
  }
  return 0;
}
#endif

}  // namespace

unsigned available_cpus() {
  unsigned cpus = 0;
#if defined(_WIN32)
  DWORD_PTR process_mask = 0, system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) {
    for (; process_mask != 0; process_mask &= process_mask - 1) ++cpus;
  }
#elif defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) cpus = static_cast<unsigned>(CPU_COUNT(&set));
  const unsigned quota = cpu_quota();
  if (quota > 0 && (cpus == 0 || quota < cpus)) cpus = quota;
#endif
  if (cpus == 0) cpus = std::thread::hardware_concurrency();
  return cpus > 0 ? cpus : 1;
}

}  // namespace varnock
