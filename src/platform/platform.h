// What differs between Linux (and other POSIX systems) and Windows, behind
// one small interface: processes, the machine's name, terminals, stop
// requests from the console, file locks, opening files by their Unicode
// names and reading them beside their writers, the default browser, the
// CPUs a process may use and the C library's maths. One source
// file per platform implements it (platform_posix.cpp, platform_windows.cpp),
// but for the program's arguments and console (console_*.cpp, which only the
// programs link); nothing else in the tree asks which platform it is built
// for.
#pragma once

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnock::platform {

long long process_id();

// True only when no process of that id runs on this machine: a process that
// lives but belongs to another user, or one whose state cannot be told,
// does not count as ended (its files are left alone).
bool process_ended(long long pid);

// The machine's name, or "" when it cannot be told.
std::string host_name();

// The program's arguments in UTF-8. On Windows they are read again from the
// UTF-16 command line: argv there is in the ANSI code page, which cannot
// hold every name (a folder called 結果 on a western system). Elsewhere
// they are argv.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// Has the console show the UTF-8 the program writes (Windows; elsewhere
// terminals take UTF-8 as it is).
void use_utf8_console();

bool stdin_is_terminal();
bool stderr_is_terminal();

// The file opened by its name, Unicode on every platform (a wide name on
// Windows): std::fopen's modes, nullptr and errno set on failure.
std::FILE* open_file(const std::filesystem::path& path, const char* mode);

// A file's bytes, read at once while other processes may go on writing,
// truncating, renaming or deleting it (on Windows the handle shares read,
// write and delete access), so that a reader never makes a writer fail.
// Nothing when it cannot be opened or read, is not a regular file, or holds
// more than max_bytes.
std::optional<std::string> read_file_shared(const std::filesystem::path& path, std::size_t max_bytes);

// Opens url in the desktop's default browser, detached from this process
// (xdg-open with its output silenced; the shell on Windows). False when that
// could not even be started.
bool open_in_browser(const std::string& url);

// Moves the file from over to, replacing a file of that name in one step
// (rename on POSIX, MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows):
// a reader sees the old file or the new one, never none.
void replace_file(const std::filesystem::path& from, const std::filesystem::path& to,
                  std::error_code& ec);

// The folder the drop-in library exchanges its files in when the caller
// does not say: the front end's C:\VBA_C_APP64\ on Windows; elsewhere
// $VARNOCK_DIR, or the current folder.
std::filesystem::path default_exchange_folder();

// The CPUs this process may run on by its affinity (and, on Linux, its
// cgroup's CPU quota); 0 when that cannot be told.
unsigned usable_cpus();

// The C library's maths code this process runs, for run records: on x86-64
// glibc "libm fma" where the processor has FMA and AVX2 (glibc then takes
// its fused variants), else "libm sse2"; "libm" where that is not known.
std::string c_library_maths();

// Why a run or a study was asked to stop.
enum class StopKind { none, interrupt, terminate };

// While it lives, Ctrl-C (SIGINT; on Windows also Ctrl-Break and closing the
// console) and termination requests (SIGTERM) no longer end the process:
// they set flag, and last_stop_request() says which came last. One at a
// time; the previous behaviour comes back when it ends.
class StopRequests {
 public:
  explicit StopRequests(std::atomic<bool>& flag);
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;
};

// The request that came last while the latest StopRequests lived (none
// when none came), also once it has ended.
StopKind last_stop_request();

// An exclusive lock on a file for as long as the object lives, taken
// without waiting. The file holds the holder's process id, for the message
// of a run that finds it taken; the file is removed when the lock ends, so
// that a run waiting for it takes a new one.
class FileLock {
 public:
  // The lock on path (created when missing). Without it: nullptr, with
  // holder set to the holding process's id as its file says ("?" when it
  // cannot be read). Throws std::system_error when the file cannot be
  // opened or locked for another reason.
  static std::unique_ptr<FileLock> try_take(const std::filesystem::path& path, std::string& holder);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  struct Handle;

 private:
  explicit FileLock(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

}  // namespace varnock::platform
