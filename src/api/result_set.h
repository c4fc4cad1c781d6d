// A run's files replaced as a set. Everything is written under temporary
// names marked with the run's process ("OUT_M.txt.varnock-tmp-1234") and
// moved into place only when all of it is complete: the result files
// first, the report OUT_M.txt next, run.json (the record that lists their
// SHA-256) last, as the mark of a complete set. A run that fails or is
// stopped before that leaves the previous set untouched and its temporary
// files gone; one killed outright leaves them behind, and the next run into
// the folder removes them. One run at a time writes into a folder: a lock
// file there names the run that holds it, and a lock left by a dead process
// is taken over.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace varnock {

inline constexpr const char* LOCK_FILE = ".varnock.lock";

class ResultSet {
 public:
  // Takes the folder's lock and removes the temporary files of dead runs.
  // Throws RunError (an output failure naming the live run) when another
  // run holds the lock.
  explicit ResultSet(const std::filesystem::path& dir);
  ~ResultSet();
  ResultSet(const ResultSet&) = delete;
  ResultSet& operator=(const ResultSet&) = delete;

  // The suffix of this run's temporary names, and one such name.
  const std::string& suffix() const { return suffix_; }
  std::filesystem::path temporary(const std::string& name) const;

  // A file written under its temporary name, to be moved into place by
  // commit() in the order of these calls.
  void add(const std::string& name);
  // A file to remove when the set is committed (an earlier report page the
  // run does not replace).
  void remove_on_commit(const std::string& name);

  // Moves the files into place and removes the ones asked for; a file
  // added but not written leaves the folder's own in place. Throws
  // RunError when a move fails (the set is then incomplete, and its
  // run.json, moved last, does not describe it).
  void commit();

 private:
  void lock();
  void remove_dead_runs_files();

  std::filesystem::path dir_;
  std::string suffix_;
  std::vector<std::string> added_, removed_;
  bool committed_ = false;
  std::unique_ptr<platform::FileLock> lock_;  // released last, after the temporaries are gone
};

}  // namespace varnock
