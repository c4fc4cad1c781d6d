// The drop-in shared library, loaded as the front end loads it: by file
// name, with main6 looked up by name, the exchange folder in VARNOCK_DIR.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <set>
#include <sstream>

#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace {

using varnock_test::crlf_lines;
using varnock_test::read_file;
using varnock_test::TestSheet;
using varnock_test::SurfaceRow;
using varnock_test::TempDir;
using varnock_test::write_file;

using Entry = void (*)();

class DropIn : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fresh load per test, so every test starts from a zeroed model.
    handle_ = dlopen(VARNOCK_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    main6_ = reinterpret_cast<Entry>(dlsym(handle_, "main6"));
    ASSERT_NE(main6_, nullptr) << dlerror();
    setenv("VARNOCK_DIR", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VARNOCK_DIR");
    if (handle_ != nullptr) dlclose(handle_);
  }

  TestSheet lens_sheet() const {
    TestSheet s;
    s.THMAX = 0.25;
    s.NTH = 4;
    s.NPHI = 48;
    s.NRING = 6;
    s.NSCAN = 2;
    s.WSCAN = 2;
    s.NSET = 2;
    s.surfaces = {SurfaceRow{0, 15, 0, 0, 1, 0, 0, {1, 1}},
                  SurfaceRow{0.04, 4, 0, 0, 1, 0, 0, {1.5168, 1.522}},
                  SurfaceRow{-0.04, 6, 0, 0, 1, 0, 0, {1, 1}}};
    return s;
  }

  TempDir dir_;
  void* handle_ = nullptr;
  Entry main6_ = nullptr;
};

TEST_F(DropIn, WritesTheSameFilesAsTheLibraryApi) {
  write_file(dir_ / "IN_FM.txt", lens_sheet().text());
  main6_();
  TempDir api_dir;
  varnock::Session session;
  ASSERT_TRUE(session.run(dir_ / "IN_FM.txt", api_dir.path()).ok());
  for (const char* name : {"OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt"}) {
    EXPECT_EQ(read_file(dir_ / name), read_file(api_dir / name)) << name;
  }
  EXPECT_EQ(crlf_lines(read_file(dir_ / "OUT_M.txt")).size(), 132u);
}

TEST_F(DropIn, KeepsTheModelBetweenCalls) {
  write_file(dir_ / "IN_FM.txt", lens_sheet().text());
  main6_();
  const std::vector<std::string> first = crlf_lines(read_file(dir_ / "OUT_MI.txt"));
  ASSERT_GT(first.size(), 1u);
  EXPECT_EQ(first[1].substr(0, 18), "0.000000\t0.000000\t");

  main6_();
  const std::vector<std::string> second = crlf_lines(read_file(dir_ / "OUT_MI.txt"));
  ASSERT_EQ(second.size(), first.size());
  // Ring position j = 5 of 6 at radius 1: angle 6.28 * 5 / 6.
  char expected[64];
  std::snprintf(expected, sizeof expected, "%f\t%f\t", std::cos(6.28 * 5 / 6), std::sin(6.28 * 5 / 6));
  EXPECT_EQ(second[1].substr(0, std::strlen(expected)), expected);
}

// The threads of this process, from /proc.
int thread_count() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

TEST_F(DropIn, WorkerThreadsEndBeforeMain6ReturnsAndGiveTheSameFiles) {
  TestSheet sheet = lens_sheet();
  sheet.NPHI = 200;
  sheet.NRING = 60;  // many tasks, so that every thread gets some
  write_file(dir_ / "IN_FM.txt", sheet.text());
  setenv("VARNOCK_THREADS", "1", 1);
  main6_();
  const std::string one_listing = read_file(dir_ / "OUT_MI.txt");
  const std::string one_report = read_file(dir_ / "OUT_M.txt");
  TearDown();
  SetUp();

  // Two calls in one process with three threads: the second call's listing
  // shows where the first ended, exactly as with one thread.
  setenv("VARNOCK_THREADS", "3", 1);
  const int before = thread_count();
  main6_();
  EXPECT_EQ(thread_count(), before);
  EXPECT_EQ(read_file(dir_ / "OUT_MI.txt"), one_listing);
  EXPECT_EQ(read_file(dir_ / "OUT_M.txt"), one_report);
  main6_();
  EXPECT_EQ(thread_count(), before);
  EXPECT_EQ(read_file(dir_ / "OUT_M.txt"), one_report);
  EXPECT_NE(read_file(dir_ / "OUT_MI.txt"), one_listing);
  // Unloading right after a call, as the front end may, is safe.
  dlclose(handle_);
  handle_ = nullptr;
  EXPECT_EQ(thread_count(), before);
  unsetenv("VARNOCK_THREADS");
}

TEST_F(DropIn, ThreadCountsThatAreNotWholeNumbersMeanTheDefault) {
  write_file(dir_ / "IN_FM.txt", lens_sheet().text());
  main6_();
  const std::string expected = read_file(dir_ / "OUT_M.txt");
  for (const char* value : {"-2", "two", "1.5", "", "99999999999999999999"}) {
    setenv("VARNOCK_THREADS", value, 1);
    std::filesystem::remove(dir_ / "OUT_M.txt");
    main6_();
    EXPECT_EQ(read_file(dir_ / "OUT_M.txt"), expected) << value;
  }
  unsetenv("VARNOCK_THREADS");
}

TEST_F(DropIn, MissingSheetLeavesAnEmptyReportAndDoesNotCrash) {
  write_file(dir_ / "OUT_M.txt", "a report from an earlier call");
  main6_();
  EXPECT_TRUE(std::filesystem::exists(dir_ / "OUT_M.txt"));
  EXPECT_EQ(read_file(dir_ / "OUT_M.txt"), "");

  std::filesystem::remove(dir_ / "OUT_M.txt");
  main6_();
  EXPECT_TRUE(std::filesystem::exists(dir_ / "OUT_M.txt"));  // created empty
}

TEST_F(DropIn, RefusedSheetLeavesAnEmptyReport) {
  TestSheet s = lens_sheet();
  s.THMIN = 0.5;
  s.THMAX = 1.5;
  s.NTH = 100000;
  s.NPHI = 1000;
  write_file(dir_ / "IN_FM.txt", s.text());
  main6_();
  EXPECT_EQ(read_file(dir_ / "OUT_M.txt"), "");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "OUT_MI.txt"));
}

TEST_F(DropIn, MatchesTheToolOnEveryBundledExample) {
  const std::filesystem::path examples = std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples";
  int compared = 0;
  for (const auto& entry : std::filesystem::directory_iterator(examples)) {
    if (entry.path().extension() != ".txt") continue;
    std::filesystem::copy_file(entry.path(), dir_ / "IN_FM.txt",
                               std::filesystem::copy_options::overwrite_existing);
    main6_();
    TempDir tool_dir;
    const std::string command = std::string(VARNOCK_CLI) + " run -q '" + entry.path().string() +
                                "' -o '" + tool_dir.path().string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char* name : {"OUT_MI.txt", "OUT_M.txt"}) {
      EXPECT_EQ(read_file(dir_ / name), read_file(tool_dir / name)) << entry.path() << " " << name;
    }
    ++compared;
    // Start the next example from a zeroed model too, as the tool does.
    TearDown();
    SetUp();
  }
  EXPECT_GT(compared, 0);
}

// VARNOCK_MODE=fast, read at every call, makes main6 trace in fast mode:
// the fast tool's files. Any other value, or none, keeps the exact mode.
TEST_F(DropIn, TracesInFastModeWhenVarnockModeSaysFast) {
  write_file(dir_ / "IN_FM.txt", lens_sheet().text());
  TempDir exact_dir, fast_dir;
  {
    varnock::Session exact, fast;
    ASSERT_TRUE(exact.run(dir_ / "IN_FM.txt", exact_dir.path()).ok());
    varnock::RunOptions options;
    options.fast = true;
    ASSERT_TRUE(fast.run(dir_ / "IN_FM.txt", fast_dir.path(), options).ok());
  }
  for (const char* mode : std::initializer_list<const char*>{"fast", "FAST", "exact", "", nullptr}) {
    if (mode != nullptr) {
      setenv("VARNOCK_MODE", mode, 1);
    } else {
      unsetenv("VARNOCK_MODE");
    }
    TearDown();  // each mode from a freshly loaded library, as the sessions above
    SetUp();
    main6_();
    const TempDir& expected = mode != nullptr && std::string(mode) == "fast" ? fast_dir : exact_dir;
    for (const char* name : {"OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt"}) {
      EXPECT_EQ(read_file(dir_ / name), read_file(expected / name))
          << "VARNOCK_MODE=" << (mode ? mode : "(unset)") << " " << name;
    }
  }
  unsetenv("VARNOCK_MODE");
}

// Which mode traced shows in the maths library: the exact step takes acos
// and asin at every surface, the fast one never. The loader of the Windows
// tests runs the library with the maths shim logging each call.
TEST_F(DropIn, TheFastModeCallsNoTrigonometryInItsSteps) {
#if defined(VARNOCK_SANITIZED)
  GTEST_SKIP() << "the maths shim cannot be preloaded ahead of the sanitizers' runtime";
#endif
  write_file(dir_ / "IN_FM.txt", lens_sheet().text());
  write_file(dir_ / "plan.txt", "load " + std::string(VARNOCK_SHARED_LIBRARY) + "\ncall\n");
  auto distinct_calls = [&](const char* mode, const std::string& function) {
    const std::filesystem::path log = dir_ / "maths.log";
    std::filesystem::remove(log);
    const std::string command = std::string(mode ? "VARNOCK_MODE=" : "") + (mode ? mode : "") +
                                " LD_PRELOAD=" + VARNOCK_MATH_SHIM + " VARNOCK_MATH_LOG='" +
                                log.string() + "' " + VARNOCK_MAIN6_LOADER + " '" +
                                dir_.path().string() + "' '" + (dir_ / "plan.txt").string() +
                                "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    int count = 0;
    std::istringstream lines(read_file(log));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(function + " ", 0) == 0) ++count;
    }
    return count;
  };
  EXPECT_GT(distinct_calls(nullptr, "acos"), 100);
  EXPECT_GT(distinct_calls(nullptr, "asin"), 100);
  EXPECT_EQ(distinct_calls("fast", "acos"), 0);
  EXPECT_EQ(distinct_calls("fast", "asin"), 0);
  // The fan's angles are the only arc tangents the maths library gives.
  EXPECT_LT(distinct_calls("fast", "atan"), distinct_calls(nullptr, "atan") / 4);
}

TEST_F(DropIn, UnusableExchangeFolderIsSurvived) {
  setenv("VARNOCK_DIR", (dir_ / "no/such/folder").c_str(), 1);
  main6_();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "no"));
  write_file(dir_ / "file", "x");
  setenv("VARNOCK_DIR", (dir_ / "file").c_str(), 1);  // a file, not a folder
  main6_();
  EXPECT_EQ(read_file(dir_ / "file"), "x");
}

TEST_F(DropIn, UsesTheCurrentFolderWithoutVarnockDir) {
  unsetenv("VARNOCK_DIR");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path());
  write_file(dir_ / "IN_FM.txt", lens_sheet().text());
  main6_();
  std::filesystem::current_path(before);
  EXPECT_EQ(crlf_lines(read_file(dir_ / "OUT_M.txt")).size(), 132u);
}

TEST(SharedLibrary, ExportsMain6Alone) {
  const std::string command = std::string("nm -D --defined-only ") + VARNOCK_SHARED_LIBRARY;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> symbols;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::istringstream fields(line);
    std::string address, kind, name;
    fields >> address >> kind >> name;
    // Version-definition entries (kind A) carry no code.
    if (!name.empty() && kind != "A") symbols.insert(name);
  }
  EXPECT_EQ(symbols, std::set<std::string>{"main6"});
}

}  // namespace
