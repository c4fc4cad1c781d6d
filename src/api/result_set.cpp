#include "api/result_set.h"

#include <string_view>
#include <system_error>

#include "platform/platform.h"
#include "support/files.h"
#include "support/run_error.h"

namespace varnock {
namespace {

constexpr std::string_view MARK = ".varnock-tmp-";

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
    : dir_(dir), suffix_(std::string(MARK) + std::to_string(platform::process_id())) {
  lock();
  remove_dead_runs_files();
}

ResultSet::~ResultSet() {
  std::error_code ec;
  if (!committed_) {
    for (const std::string& name : added_) std::filesystem::remove(temporary(name), ec);
  }
}

void ResultSet::lock() {
  const std::filesystem::path path = dir_ / LOCK_FILE;
  std::string holder;
  try {
    lock_ = platform::FileLock::try_take(path, holder);
  } catch (const std::system_error& e) {
    if (e.code() == std::errc::resource_unavailable_try_again) {
      fail_output(display(dir_), "cannot take the output folder's lock " + display(path));
    }
    fail_output(display(dir_), "cannot write into the output folder: " + e.code().message());
  }
  if (!lock_) {
    fail_output(display(dir_), "another run (process " + holder +
                                   ") is writing into this folder; wait for it or choose another "
                                   "folder");
  }
}

void ResultSet::remove_dead_runs_files() {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir_, ec)) {
    const std::string name = display(entry.path().filename());
    const long pid = marked_process(name);
    if (pid == 0 || pid == platform::process_id() || !platform::process_ended(pid)) continue;
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
    platform::replace_file(temporary(name), dir_ / name, ec);
    if (ec) {
      committed_ = false;
      fail_output(display(dir_ / name), "cannot move the finished file into place: " + ec.message());
    }
  }
}

}  // namespace varnock
