#include "support/files.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/platform.h"
#include "support/process_files.h"
#include "support/run_error.h"

namespace varnock {
namespace {
constexpr std::size_t OUTPUT_BUFFER_BYTES = 1u << 20;
}

std::FILE* open_file(const std::filesystem::path& path, const char* mode) { return platform::open_file(path, mode); }

std::string last_error_text() { return std::generic_category().message(errno); }

std::filesystem::path utf8_path(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string display(const std::filesystem::path& path) {
  // UTF-8 on every platform; the narrow conversion of a wide Windows path
  // could throw, and this also runs while reporting a failure.
  try {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
  } catch (...) {
    return "(a path that cannot be shown)";
  }
}

std::string read_sheet_bytes(const std::filesystem::path& path, std::size_t max_bytes) {
  const std::string name = display(path);
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (std::filesystem::is_directory(status)) fail_sheet(name, "is a folder, not a sheet file");
  // A pipe or a device could block the run or never end.
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    fail_sheet(name, "is not a regular file (a device, pipe or socket); refused");
  }

  errno = 0;
  std::FILE* file = open_file(path, "rb");
  if (file == nullptr) fail_sheet(name, "cannot open the sheet: " + last_error_text());

  std::string bytes;
  std::vector<char> chunk(64 * 1024);
  for (;;) {
    const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file);
    bytes.append(chunk.data(), got);
    if (bytes.size() > max_bytes) {
      std::fclose(file);
      fail_sheet(name, "the sheet is larger than " + std::to_string(max_bytes / (1024 * 1024)) +
                           " MiB; a sheet is a few kilobytes, so this is not one");
    }
    if (got < chunk.size()) break;
  }
  const bool failed = std::ferror(file) != 0;
  const std::string reason = failed ? last_error_text() : std::string();
  std::fclose(file);
  if (failed) fail_sheet(name, "cannot read the sheet: " + reason);
  return bytes;
}

std::string read_whole_file(const std::filesystem::path& path) {
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(open_file(path, "rb"), std::fclose);
  if (!file) throw std::runtime_error(display(path) + ": cannot read: " + last_error_text());
  std::string bytes;
  char chunk[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
  if (std::ferror(file.get())) throw std::runtime_error(display(path) + ": cannot read: " + last_error_text());
  return bytes;
}

void write_atomically(const std::filesystem::path& path, std::string_view text) {
  std::filesystem::path temporary = path;
  temporary += ".varnock-tmp-" + process_tag();
  {
    OutputFile out(temporary);
    out.write(text);
    out.close();
  }
  std::error_code ec;
  platform::replace_file(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    fail_output(display(path), "cannot move the finished file into place: " + ec.message());
  }
}

OutputFile::OutputFile(const std::filesystem::path& path) : path_(path) {
  errno = 0;
  file_ = open_file(path, "wb");
  if (file_ == nullptr) fail_output(display(path), "cannot create: " + last_error_text());
  buffer_.reserve(OUTPUT_BUFFER_BYTES);
}

OutputFile::~OutputFile() {
  if (file_ != nullptr) std::fclose(file_);
}

void OutputFile::write(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= OUTPUT_BUFFER_BYTES) flush_buffer();
}

void OutputFile::flush_buffer() {
  if (buffer_.empty()) return;
  errno = 0;
  const std::size_t put = std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
  if (put != buffer_.size()) fail_output(display(path_), "cannot write: " + last_error_text());
  buffer_.clear();
}

void OutputFile::close() {
  if (file_ == nullptr) return;
  flush_buffer();
  errno = 0;
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) fail_output(display(path_), "cannot write: " + last_error_text());
}

void empty_file(const std::filesystem::path& path, bool create) noexcept {
  std::error_code ec;
  if (!create && !std::filesystem::is_regular_file(path, ec)) return;
  if (std::FILE* file = open_file(path, "wb")) std::fclose(file);
}

}  // namespace varnock
