// What varnock watch knows of the folder it watches: the last complete
// report found there, as the report page's data, a version that goes up
// with every new report shown, and why the folder's latest files are not
// what is shown when they are not (being written, not a report, a set still
// being moved into place). It only looks: nothing is written into the
// folder, and every file is opened briefly and shared.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace varnock {

struct FolderWatchTimes {
  // Files whose size and modification time stay the same this long count as
  // written.
  std::chrono::milliseconds settle{300};
  // An OUT_M.txt newer than the run.json beside it is a set still being moved
  // into place, which takes a moment; one that stays so this long was left
  // by something else (main6 writing into a run's folder, a run killed
  // between the two) and is shown, with plot's note that run.json no longer
  // matches.
  std::chrono::milliseconds unfinished_set{2000};
};

// The size and modification time of a file, or that it is missing.
struct FileStamp {
  bool exists = false;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified{};
  bool operator==(const FileStamp&) const = default;
};

class FolderWatch {
 public:
  using Clock = std::chrono::steady_clock;

  // threads: for laying out the sheet's fan for the drawing (0: every CPU).
  explicit FolderWatch(std::filesystem::path folder, FolderWatchTimes times = {}, unsigned threads = 0);

  // Looks at the folder again; now must not go back between calls. True
  // when a new report has become the one shown.
  bool poll(Clock::time_point now);

  const std::filesystem::path& folder() const { return folder_; }
  // 0 until a complete report has been found.
  std::uint64_t version() const { return version_; }
  // The report page's data object of the report shown; empty at version 0.
  const std::string& data_json() const { return data_json_; }
  // Why the folder's latest files are not what is shown; empty when they are.
  const std::string& waiting() const { return waiting_; }

 private:
  struct Stamps {
    FileStamp report, record, sheet;
    bool operator==(const Stamps&) const = default;
  };
  Stamps look() const;
  // Reads and shows the settled files; false when they must be looked at
  // again on a later poll (they changed while being read).
  bool take(const Stamps& stamps);

  std::filesystem::path folder_;
  FolderWatchTimes times_;
  unsigned threads_;
  std::uint64_t version_ = 0;
  std::string data_json_;
  std::string waiting_;
  bool first_look_ = true;
  const char* changing_ = "";  // the file that changed last
  Stamps seen_;
  Clock::time_point seen_since_{};
  bool seen_settled_ = false;  // the stamps seen_ were read, whatever came of it
};

}  // namespace varnock
