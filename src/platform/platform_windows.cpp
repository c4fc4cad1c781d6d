// The platform layer on Windows. Names are wide (UTF-16) here and UTF-8
// everywhere else in Varnock.
#include <windows.h>

#include <io.h>

#include <cstring>
#include <optional>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "platform/utf8_of_wide.h"

namespace varnock::platform {
namespace {

std::system_error windows_error(const char* what) {
  return std::system_error(static_cast<int>(GetLastError()), std::system_category(), what);
}

}  // namespace

long long process_id() { return static_cast<long long>(GetCurrentProcessId()); }

bool process_ended(long long pid) {
  if (pid <= 0 || pid > 0xffffffffLL) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
  // A process that has exited but whose handle another holds still opens.
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
}

std::string host_name() {
  wchar_t name[256] = {};
  DWORD size = 255;
  if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return "";
  return utf8_of(name);
}

bool stdin_is_terminal() { return _isatty(_fileno(stdin)) != 0; }
bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

std::FILE* open_file(const std::filesystem::path& path, const char* mode) {
  const std::wstring wide_mode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wide_mode.c_str());
}

void replace_file(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec) {
  ec.clear();
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ec.assign(static_cast<int>(GetLastError()), std::system_category());
  }
}

std::filesystem::path default_exchange_folder() { return std::filesystem::path(L"C:\\VBA_C_APP64\\"); }

unsigned usable_cpus() {
  unsigned cpus = 0;
  DWORD_PTR process_mask = 0, system_mask = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) {
    for (; process_mask != 0; process_mask &= process_mask - 1) ++cpus;
  }
  return cpus;
}

std::string c_library_maths() { return "libm"; }

// --- stop requests ----------------------------------------------------------

namespace {

std::atomic<bool>* stop_flag = nullptr;
std::atomic<int> last_event{-1};

BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      last_event.store(static_cast<int>(event));
      if (stop_flag != nullptr) stop_flag->store(true);
      // Closing the console ends the process once this returns: give the
      // run the time Windows allows to stop between two tasks and keep its
      // previous files.
      if (event == CTRL_CLOSE_EVENT) Sleep(4000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

StopRequests::StopRequests(std::atomic<bool>& flag) {
  last_event.store(-1);
  stop_flag = &flag;
  SetConsoleCtrlHandler(on_console_event, TRUE);
}

StopRequests::~StopRequests() {
  SetConsoleCtrlHandler(on_console_event, FALSE);
  stop_flag = nullptr;
}

StopKind last_stop_request() { return last_event.load() >= 0 ? StopKind::interrupt : StopKind::none; }

// --- file locks ---------------------------------------------------------------

namespace {

// Locks on Windows are mandatory: the lock covers one byte far past the
// holder's process id, so that a run that finds the file locked can still
// read who holds it.
constexpr DWORD LOCKED_BYTE = 1u << 20;

bool same_file(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION ia{}, ib{};
  return GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

struct FileLock::Handle {
  HANDLE file = INVALID_HANDLE_VALUE;
};

FileLock::FileLock(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

FileLock::~FileLock() {
  // Marked for deletion while still held, so that a run waiting for it
  // takes a new one; the name goes when the handle closes.
  FILE_DISPOSITION_INFO dispose{};
  dispose.DeleteFile = TRUE;
  SetFileInformationByHandle(handle_->file, FileDispositionInfo, &dispose, sizeof dispose);
  CloseHandle(handle_->file);
}

std::unique_ptr<FileLock> FileLock::try_take(const std::filesystem::path& path, std::string& holder) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, SHARE_ALL, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw windows_error("cannot open the lock file");
    OVERLAPPED at{};
    at.Offset = LOCKED_BYTE;
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      const DWORD error = GetLastError();
      if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
        CloseHandle(file);
        SetLastError(error);
        throw windows_error("cannot lock the lock file");
      }
      char text[32] = {};
      DWORD got = 0;
      OVERLAPPED start{};
      const bool read = ReadFile(file, text, sizeof text - 1, &got, &start) && got > 0;
      CloseHandle(file);
      holder = read ? std::string(text, got) : "?";
      holder = holder.substr(0, holder.find('\n'));
      return nullptr;
    }
    // The lock is good only while the name still leads to this file.
    HANDLE named = CreateFileW(path.c_str(), 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool good = named != INVALID_HANDLE_VALUE && same_file(file, named);
    if (named != INVALID_HANDLE_VALUE) CloseHandle(named);
    if (good) {
      const std::string pid = std::to_string(process_id()) + "\n";
      DWORD written = 0;
      OVERLAPPED start{};
      // The name of the holder is only for messages; the lock stands.
      WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, &start);
      auto handle = std::make_unique<Handle>();
      handle->file = file;
      return std::unique_ptr<FileLock>(new FileLock(std::move(handle)));
    }
    CloseHandle(file);
  }
  throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                          "the lock file kept being replaced");
}

// --- reading beside a writer; the browser ---------------------------------------

std::optional<std::string> read_file_shared(const std::filesystem::path& path, std::size_t max_bytes) {
  // Every sharing mode, so that the front end's library truncating the file
  // in place, or a run moving its new set over it, never fails while this
  // handle is open.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, SHARE_ALL, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<std::string> bytes;
  if (GetFileType(file) == FILE_TYPE_DISK) {
    std::string text;
    char chunk[1 << 16];
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr) || text.size() + got > max_bytes) break;
      if (got == 0) {
        bytes = std::move(text);
        break;
      }
      text.append(chunk, got);
    }
  }
  CloseHandle(file);
  return bytes;
}

bool open_in_browser(const std::string& url) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, url.data(), static_cast<int>(url.size()), nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, url.data(), static_cast<int>(url.size()), wide.data(), length);
  // shell32 is loaded when asked for, not linked: the drop-in DLL is built
  // from this file too and must import nothing but KERNEL32 and msvcrt. It
  // stays loaded, as the shell may have left work running in it.
  HMODULE shell = LoadLibraryW(L"shell32.dll");
  if (shell == nullptr) return false;
  using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  const auto execute = reinterpret_cast<ShellExecuteFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(shell, "ShellExecuteW")));
  if (execute == nullptr) return false;
  const HINSTANCE done = execute(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;  // its documented way of saying it succeeded
}

}  // namespace varnock::platform
