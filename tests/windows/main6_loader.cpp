// Does what the spreadsheet front end does with the drop-in library: loads
// it by name, looks main6 up by name, puts a sheet into the exchange folder,
// calls main6 and reads the result files. Built for Windows, where it runs
// under Wine with the exchange folder C:\VBA_C_APP64\, and for Linux, where
// the same steps run the shared library with VARNOCK_DIR naming the folder,
// so that the two platforms' results can be compared file for file.
//
//   main6_loader EXCHANGE_FOLDER PLAN
//
// PLAN holds one step per line, carried out in order:
//   load LIBRARY     load the library (a fresh copy: the model starts zeroed)
//   unload           unload it again
//   sheet FILE       copy FILE into the exchange folder as IN_FM.txt
//   write NAME TEXT  write TEXT (the rest of the line) into the folder as NAME
//   remove NAME      remove NAME from the exchange folder, if it is there
//   call             call main6
//   collect FOLDER   copy whichever result files exist into FOLDER
// Each step done is echoed on stdout; the first that fails stops the run
// with exit code 1 and a message on stderr.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace fs = std::filesystem;

namespace {

using Entry = void (*)();

const char* const RESULT_FILES[] = {"OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt"};

[[noreturn]] void fail(const std::string& message) {
  std::cerr << "main6_loader: " << message << '\n';
  std::exit(1);
}

class Library {
 public:
  ~Library() { unload(); }

  void load(const std::string& name) {
    if (handle_ != nullptr) fail("load: the library is already loaded");
#if defined(_WIN32)
    handle_ = LoadLibraryA(name.c_str());
    if (handle_ == nullptr) {
      fail("LoadLibrary(\"" + name + "\") failed, error " + std::to_string(GetLastError()));
    }
    // GetProcAddress hands back a generic function pointer; main6 takes
    // nothing and returns nothing.
    main6_ = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(handle_, "main6")));
    if (main6_ == nullptr) fail("GetProcAddress(\"main6\") failed, error " + std::to_string(GetLastError()));
#else
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) fail(std::string("dlopen failed: ") + dlerror());
    main6_ = reinterpret_cast<Entry>(dlsym(handle_, "main6"));
    if (main6_ == nullptr) fail(std::string("dlsym(\"main6\") failed: ") + dlerror());
#endif
  }

  void unload() {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(handle_);
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
    main6_ = nullptr;
  }

  void call() {
    if (main6_ == nullptr) fail("call: no library is loaded");
    main6_();
  }

 private:
#if defined(_WIN32)
  HMODULE handle_ = nullptr;
#else
  void* handle_ = nullptr;
#endif
  Entry main6_ = nullptr;
};

void write_text(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) fail("cannot write " + path.string());
}

// Copies by hand: the MinGW C++ library's copy_file refuses to overwrite.
void copy_over(const fs::path& from, const fs::path& to) {
  std::ifstream in(from, std::ios::binary);
  if (!in) fail("cannot read " + from.string());
  write_text(to, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

void collect(const fs::path& exchange, const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) fail("cannot create " + folder.string() + ": " + ec.message());
  for (const char* name : RESULT_FILES) {
    fs::remove(folder / name, ec);
    if (fs::exists(exchange / name)) copy_over(exchange / name, folder / name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: main6_loader EXCHANGE_FOLDER PLAN\n";
    return 2;
  }
  const fs::path exchange = argv[1];
  std::error_code ec;
  fs::create_directories(exchange, ec);
  if (!fs::is_directory(exchange)) fail("cannot create the exchange folder " + exchange.string());
#if !defined(_WIN32)
  // On Windows the library always uses C:\VBA_C_APP64\; elsewhere it is told.
  setenv("VARNOCK_DIR", exchange.c_str(), 1);
#endif

  std::ifstream plan(argv[2], std::ios::binary);
  if (!plan) fail(std::string("cannot read the plan ") + argv[2]);
  Library library;
  std::string line;
  int number = 0;
  while (std::getline(plan, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::size_t gap = line.find(' ');
    const std::string step = line.substr(0, gap);
    const std::string rest = gap == std::string::npos ? std::string() : line.substr(gap + 1);
    if (step == "load") {
      library.load(rest);
    } else if (step == "unload") {
      library.unload();
    } else if (step == "sheet") {
      copy_over(rest, exchange / "IN_FM.txt");
    } else if (step == "write") {
      const std::size_t space = rest.find(' ');
      write_text(exchange / rest.substr(0, space),
                 space == std::string::npos ? std::string() : rest.substr(space + 1));
    } else if (step == "remove") {
      fs::remove(exchange / rest, ec);
    } else if (step == "call") {
      library.call();
    } else if (step == "collect") {
      collect(exchange, rest);
    } else {
      fail("plan line " + std::to_string(number) + ": unknown step \"" + step + "\"");
    }
    std::cout << "done " << line << '\n';
  }
  std::cout << "plan complete\n";
  return 0;
}
