// run.json: the record of a complete run beside its files. It names the
// program and version, how the rays were traced (mode, threads), the SHA-256
// of the sheet and of every result file, and the summary, so that a reader
// can tell which run wrote the files and whether they are still the ones it
// wrote.
#pragma once

#include <filesystem>
#include <string>

#include "varnock/varnock.h"

namespace varnock {

// SHA-256 of a file's bytes as 64 lower-case hex digits. Throws
// std::runtime_error when the file cannot be read.
std::string file_sha256(const std::filesystem::path& path);

// The record's JSON text for a run of sheet whose files lie in output_dir.
std::string run_record_text(const std::filesystem::path& sheet,
                            const std::filesystem::path& output_dir, const RunSuccess& run);

// Writes output_dir/run.json. Throws std::runtime_error on failure.
void write_run_record(const std::filesystem::path& sheet, const std::filesystem::path& output_dir,
                      const RunSuccess& run);

}  // namespace varnock
