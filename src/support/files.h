// File access with checked results: every failure names the file and says
// why, so that no half-written result passes for a whole one.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace varnock {

// fopen for a path, taking wide names where the platform needs them.
std::FILE* open_file(const std::filesystem::path& path, const char* mode);

// The reason for the last failed call, from errno.
std::string last_error_text();

// A path as the messages show it: UTF-8.
std::string display(const std::filesystem::path& path);

// The path named by UTF-8 text, such as an argument of the command line.
// (A path made from a plain std::string takes the ANSI code page on
// Windows.)
std::filesystem::path utf8_path(std::string_view text);

// Reads a whole file in binary, refusing it once it passes max_bytes; the
// reading stops there, so a device or a runaway file cannot hang the run.
// Failures are reported as sheet failures of that file.
std::string read_sheet_bytes(const std::filesystem::path& path, std::size_t max_bytes);

// A whole file in binary; throws std::runtime_error naming the file when it
// cannot be read.
std::string read_whole_file(const std::filesystem::path& path);

// Writes the file whole or not at all: under a temporary name that no other
// process uses (it ends ".varnock-tmp-" and the process's tag), then moved
// over the old one. Throws an output failure or std::filesystem_error.
void write_atomically(const std::filesystem::path& path, std::string_view text);

// A result file, written in binary through a large buffer. Lines carry their
// own CR LF. Any failure to open, write or close throws an output failure.
class OutputFile {
 public:
  // Creates or truncates the file.
  explicit OutputFile(const std::filesystem::path& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void write(std::string_view bytes);
  // Flushes and closes, reporting any failure; the file is complete after it.
  void close();

  const std::filesystem::path& path() const { return path_; }

 private:
  void flush_buffer();

  std::filesystem::path path_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
};

// Leaves the file empty: truncates it when it exists, or creates it when
// create is set. Best effort: failures are ignored, this runs on the way out
// of a failed run.
void empty_file(const std::filesystem::path& path, bool create) noexcept;

}  // namespace varnock
