// The platform layer on Linux and other POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <system_error>

#if defined(__linux__)
#include <sched.h>
#include <sys/syscall.h>
#endif

#include "platform/platform.h"

namespace varnock::platform {

long long process_id() { return static_cast<long long>(::getpid()); }

bool process_ended(long long pid) {
  if (pid <= 0 || pid > 0x7fffffff) return false;
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

std::string host_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

bool stdin_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }
bool stderr_is_terminal() { return ::isatty(STDERR_FILENO) == 1; }

std::FILE* open_file(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

void replace_file(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec) {
  ec.clear();
  if (std::rename(from.c_str(), to.c_str()) != 0) ec.assign(errno, std::generic_category());
}

std::filesystem::path default_exchange_folder() {
  const char* dir = std::getenv("VARNOCK_DIR");
  return dir != nullptr && *dir != '\0' ? std::filesystem::path(dir) : std::filesystem::path(".");
}

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

unsigned usable_cpus() {
  unsigned cpus = 0;
#if defined(__linux__)
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) cpus = static_cast<unsigned>(CPU_COUNT(&set));
  const unsigned quota = cpu_quota();
  if (quota > 0 && (cpus == 0 || quota < cpus)) cpus = quota;
#endif
  return cpus;
}

std::string c_library_maths() {
#if defined(__x86_64__) && defined(__GLIBC__)
  __builtin_cpu_init();
  const bool fma = __builtin_cpu_supports("fma") && __builtin_cpu_supports("avx2");
  return fma ? "libm fma" : "libm sse2";
#else
  return "libm";
#endif
}

// --- stop requests ----------------------------------------------------------

namespace {

std::atomic<bool>* stop_flag = nullptr;
std::atomic<int> last_signal{0};

extern "C" void on_stop_signal(int signal) {
  last_signal.store(signal);
  if (stop_flag != nullptr) stop_flag->store(true);
}

}  // namespace

StopRequests::StopRequests(std::atomic<bool>& flag) {
  last_signal.store(0);
  stop_flag = &flag;
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

StopRequests::~StopRequests() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  stop_flag = nullptr;
}

StopKind last_stop_request() {
  switch (last_signal.load()) {
    case SIGINT: return StopKind::interrupt;
    case SIGTERM: return StopKind::terminate;
    default: return StopKind::none;
  }
}

// --- file locks ---------------------------------------------------------------

struct FileLock::Handle {
  std::filesystem::path path;
  int fd = -1;
};

FileLock::FileLock(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

FileLock::~FileLock() {
  // Unlinked while still held, so that a run waiting for it takes a new one.
  std::error_code ec;
  std::filesystem::remove(handle_->path, ec);
  ::close(handle_->fd);
}

std::unique_ptr<FileLock> FileLock::try_take(const std::filesystem::path& path, std::string& holder) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot open the lock file");
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      char text[32] = {};
      const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
      ::close(fd);
      holder = got > 0 ? std::string(text, static_cast<std::size_t>(got)) : "?";
      holder = holder.substr(0, holder.find('\n'));
      return nullptr;
    }
    // The lock is good only while the name still leads to this file: a run
    // that has just finished unlinks it.
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      const std::string pid = std::to_string(process_id()) + "\n";
      if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The name of the holder is only for messages; the lock stands.
      }
      auto handle = std::make_unique<Handle>();
      handle->path = path;
      handle->fd = fd;
      return std::unique_ptr<FileLock>(new FileLock(std::move(handle)));
    }
    ::close(fd);
  }
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                          "the lock file kept being replaced");
}

// --- reading beside a writer; the browser ---------------------------------------

std::optional<std::string> read_file_shared(const std::filesystem::path& path, std::size_t max_bytes) {
  // POSIX readers never stand in a writer's way. O_NONBLOCK only so that a
  // FIFO put in the file's place cannot hang the reader; it is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    std::string text;
    char chunk[1 << 16];
    for (;;) {
      const ssize_t got = ::read(fd, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 || text.size() + static_cast<std::size_t>(got) > max_bytes) break;
      if (got == 0) {
        bytes = std::move(text);
        break;
      }
      text.append(chunk, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  return bytes;
}

namespace {

// Closes every descriptor from `from` up, so that the browser an opener
// starts holds none of ours: an inherited listening socket would keep the
// port taken after this process has ended.
void close_descriptors_from(int from) {
#if defined(__linux__) && defined(SYS_close_range)
  if (::syscall(SYS_close_range, static_cast<unsigned>(from), ~0u, 0u) == 0) return;
#endif
  long limit = ::sysconf(_SC_OPEN_MAX);
  if (limit < 0 || limit > 65536) limit = 65536;
  for (int fd = from; fd < limit; ++fd) ::close(fd);
}

}  // namespace

bool open_in_browser(const std::string& url) {
  // The opener runs as a grandchild in a session of its own: the child that
  // forks it exits at once, so nothing is left to reap and Ctrl-C in this
  // terminal does not reach the browser. A pipe closed on exec tells
  // whether xdg-open could be started at all. Everything the children
  // need is made before the fork.
  char program[] = "xdg-open";
  std::string address = url;
  char* const argv[] = {program, address.data(), nullptr};
  int report[2];
  if (::pipe(report) != 0) return false;
  ::fcntl(report[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(report[1], F_SETFD, FD_CLOEXEC);
  const pid_t child = ::fork();
  if (child == 0) {
    ::setsid();
    const pid_t opener = ::fork();
    if (opener != 0) ::_exit(opener < 0 ? 1 : 0);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, STDIN_FILENO);
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    if (report[1] != 3) ::dup2(report[1], 3);
    ::fcntl(3, F_SETFD, FD_CLOEXEC);
    close_descriptors_from(4);
    ::execvp(program, argv);
    const int error = errno;
    if (::write(3, &error, sizeof error) < 0) {
      // Nobody to tell.
    }
    ::_exit(127);
  }
  ::close(report[1]);
  int status = 0;
  bool started = false;
  if (child > 0) {
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    started = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
  }
  ::close(report[0]);
  return started;
}

}  // namespace varnock::platform
