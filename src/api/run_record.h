// run.json: the record of a complete run beside its files. It names the
// program and version, how the rays were traced (mode, threads), the SHA-256
// of the sheet and of every result file, and the summary, so that a reader
// can tell which run wrote the files and whether they are still the ones it
// wrote.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "varnock/varnock.h"

namespace varnock {

// SHA-256 of a file's bytes as 64 lower-case hex digits. Throws
// std::runtime_error when the file cannot be read.
std::string file_sha256(const std::filesystem::path& path);

// The record's JSON text for a run of sheet whose files lie in output_dir,
// each under its name plus suffix (the temporary names of a set not yet
// moved into place): of a sheet held in memory (its name as messages show
// it, and its bytes), or of a sheet file.
std::string run_record_text(const std::string& sheet_name, std::string_view sheet_bytes,
                            const std::filesystem::path& output_dir, const RunSuccess& run,
                            const std::string& suffix = "");
std::string run_record_text(const std::filesystem::path& sheet,
                            const std::filesystem::path& output_dir, const RunSuccess& run,
                            const std::string& suffix = "");

// Writes output_dir/run.json. Throws std::runtime_error on failure.
void write_run_record(const std::filesystem::path& sheet, const std::filesystem::path& output_dir,
                      const RunSuccess& run);

// What a run record in folder says, when there is one.
struct RunRecord {
  RunTotals totals;
  double elapsed_seconds = 0;
  unsigned threads = 1;
  std::string mode, simd;
  std::string sums = "serial";  // records older than exact sums hold serial ones
  // Files the record lists whose bytes are no longer those it describes
  // (or that are gone): the set was changed after the run.
  std::vector<std::string> changed_files;
};
// Nothing when folder has no run.json; throws std::runtime_error when it
// cannot be read as one.
std::optional<RunRecord> read_run_record(const std::filesystem::path& folder);

}  // namespace varnock
