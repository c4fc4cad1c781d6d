#include "watch/folder_watch.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "api/plot_folder.h"
#include "model/model.h"
#include "platform/platform.h"
#include "report/report_file.h"
#include "report/report_page.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

// A report is some 60 kB; anything this large is not one.
constexpr std::size_t MAX_REPORT_BYTES = 64u << 20;

// Whether a file last changed at least `quiet` ago by the file system's
// clock (a missing file counts as quiet).
bool quiet_for(const FileStamp& s, std::chrono::milliseconds quiet) {
  return !s.exists || std::filesystem::file_time_type::clock::now() - s.modified >= quiet;
}

FileStamp stamp_of(const std::filesystem::path& path) {
  std::error_code ec;
  FileStamp s;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) return s;
  s.exists = true;
  if (std::filesystem::is_regular_file(status)) {
    s.size = std::filesystem::file_size(path, ec);
    if (ec) s.size = 0;
  }
  s.modified = std::filesystem::last_write_time(path, ec);
  return s;
}

}  // namespace

FolderWatch::FolderWatch(std::filesystem::path folder, FolderWatchTimes times, unsigned threads)
    : folder_(std::move(folder)), times_(times), threads_(threads) {}

FolderWatch::Stamps FolderWatch::look() const {
  return {stamp_of(folder_ / REPORT_FILE), stamp_of(folder_ / RUN_RECORD_FILE),
          stamp_of(folder_ / SHEET_FILE)};
}

bool FolderWatch::poll(Clock::time_point now) {
  const std::uint64_t before = version_;
  const Stamps stamps = look();
  if (first_look_ || !(stamps == seen_)) {
    // What changed last names what is being written. Files found already
    // quiet when the watch begins need not be watched settling, and a set
    // they leave unfinished is not being moved into place any more.
    const auto moved = [&](const FileStamp& stamp, const FileStamp& last) {
      return first_look_ ? !quiet_for(stamp, times_.settle) : !(stamp == last);
    };
    const bool report_moved = moved(stamps.report, seen_.report);
    const bool sheet_moved = moved(stamps.sheet, seen_.sheet);
    const bool record_moved = moved(stamps.record, seen_.record);
    changing_ = report_moved || !(sheet_moved || record_moved) ? REPORT_FILE
                : sheet_moved                                   ? SHEET_FILE
                                                                : RUN_RECORD_FILE;
    const bool all_quiet = first_look_ && !report_moved && !sheet_moved && !record_moved;
    seen_ = stamps;
    seen_since_ = all_quiet ? now - std::max(times_.settle, times_.unfinished_set) : now;
    seen_settled_ = false;
    first_look_ = false;
  }
  if (seen_settled_) return false;
  if (!stamps.report.exists) {
    waiting_ = version_ == 0 ? std::string("there is no ") + REPORT_FILE + " in the folder yet"
                             : std::string(REPORT_FILE) + " is no longer in the folder";
    seen_settled_ = true;
    return false;
  }
  const Clock::duration quiet = now - seen_since_;
  if (quiet < times_.settle) {
    waiting_ = std::string(changing_) + " is being written";
    return false;
  }
  // run.json is moved into place last: until it follows, the set is not whole.
  const bool record_behind = stamps.record.exists && stamps.report.modified > stamps.record.modified;
  if (record_behind && quiet < times_.unfinished_set) {
    waiting_ = std::string("a new set of results is being moved into place (") + REPORT_FILE +
               " is newer than " + RUN_RECORD_FILE + ")";
    return false;
  }
  seen_settled_ = take(stamps);
  return version_ != before;
}

bool FolderWatch::take(const Stamps& stamps) {
  const std::filesystem::path report_path = folder_ / REPORT_FILE;
  const std::optional<std::string> bytes = platform::read_file_shared(report_path, MAX_REPORT_BYTES);
  if (!bytes) {
    waiting_ = std::string(REPORT_FILE) + " cannot be read";
    return true;
  }
  // Bytes read while the file changed may be any mixture of old and new.
  if (!(stamp_of(report_path) == stamps.report)) return false;
  ReportFile results;
  try {
    results = parse_report(*bytes, REPORT_FILE);
  } catch (const ReportError& e) {
    // The message names the file first; the reason follows it.
    std::string why = e.what();
    const std::string named = std::string(REPORT_FILE) + ": ";
    if (why.rfind(named, 0) == 0) why.erase(0, named.size());
    waiting_ = std::string(REPORT_FILE) + " is not a complete report: " + why;
    return true;
  }
  // The page of `varnock plot`, from the bytes just read: the sheet beside
  // them for the system, and run.json for the run when it still matches.
  std::string data;
  try {
    const auto model = std::make_unique<Model>();
    bool with_system = false;
    data = report_data_json(folder_report_sources(report_path, std::move(results), *model, threads_,
                                                  with_system));
  } catch (const std::exception& e) {
    waiting_ = std::string(REPORT_FILE) + " cannot be shown: " + e.what();
    return true;
  }
  if (!(look() == stamps)) return false;  // the sheet or the record changed meanwhile
  waiting_.clear();
  if (data != data_json_) {
    data_json_ = std::move(data);
    ++version_;
  }
  return true;
}

}  // namespace varnock
