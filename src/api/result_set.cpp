#include "api/result_set.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "support/files.h"
#include "support/run_error.h"

namespace varnock {
namespace {

constexpr std::string_view MARK = ".varnock-tmp-";

bool process_alive(long pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The process a temporary name is marked with, or 0.
long marked_process(const std::string& name) {
  const std::size_t at = name.rfind(MARK);
  if (at == std::string::npos) return 0;
  const std::string digits = name.substr(at + MARK.size());
  if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  return std::stol(digits);
}

}  // namespace

ResultSet::ResultSet(const std::filesystem::path& dir)
    : dir_(dir), suffix_(std::string(MARK) + std::to_string(::getpid())) {
  lock();
  remove_dead_runs_files();
}

ResultSet::~ResultSet() {
  std::error_code ec;
  if (!committed_) {
    for (const std::string& name : added_) std::filesystem::remove(temporary(name), ec);
  }
  // Unlinked while still held, so that a run waiting for it takes a new one.
  if (lock_fd_ >= 0) {
    std::filesystem::remove(dir_ / LOCK_FILE, ec);
    ::close(lock_fd_);
  }
}

void ResultSet::lock() {
  const std::filesystem::path path = dir_ / LOCK_FILE;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) fail_output(display(dir_), "cannot write into the output folder: " + last_error_text());
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      char text[32] = {};
      const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
      ::close(fd);
      const std::string holder = got > 0 ? std::string(text, static_cast<std::size_t>(got)) : "?";
      fail_output(display(dir_), "another run (process " + holder.substr(0, holder.find('\n')) +
                                     ") is writing into this folder; wait for it or choose another "
                                     "folder");
    }
    // The lock is good only while the name still leads to this file: a run
    // that has just finished unlinks it.
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
        held.st_dev == named.st_dev) {
      const std::string pid = std::to_string(::getpid()) + "\n";
      if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The name of the holder is only for messages; the lock stands.
      }
      lock_fd_ = fd;
      return;
    }
    ::close(fd);
  }
  fail_output(display(dir_), "cannot take the output folder's lock " + display(path));
}

void ResultSet::remove_dead_runs_files() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir_, ec)) {
    const std::string name = display(entry.path().filename());
    const long pid = marked_process(name);
    if (pid == 0 || pid == ::getpid() || process_alive(pid)) continue;
    std::error_code ignored;
    std::filesystem::remove(entry.path(), ignored);
  }
}

std::filesystem::path ResultSet::temporary(const std::string& name) const {
  return dir_ / (name + suffix_);
}

void ResultSet::add(const std::string& name) { added_.push_back(name); }

void ResultSet::remove_on_commit(const std::string& name) { removed_.push_back(name); }

void ResultSet::commit() {
  std::error_code ec;
  // What would stop a move (a folder in the way) stops the commit before
  // anything is moved, so that the set is replaced whole or not at all.
  for (const std::string& name : added_) {
    if (std::filesystem::exists(temporary(name), ec) && std::filesystem::is_directory(dir_ / name, ec)) {
      fail_output(display(dir_ / name), "a folder of that name is in the way of the result file");
    }
  }
  committed_ = true;
  for (const std::string& name : removed_) std::filesystem::remove(dir_ / name, ec);
  for (const std::string& name : added_) {
    // A file the run did not write (OUT_MR.txt when no pass ran) leaves the
    // folder's own as it was.
    if (!std::filesystem::exists(temporary(name), ec)) continue;
    std::filesystem::rename(temporary(name), dir_ / name, ec);
    if (ec) {
      committed_ = false;
      fail_output(display(dir_ / name), "cannot move the finished file into place: " + ec.message());
    }
  }
}

}  // namespace varnock
