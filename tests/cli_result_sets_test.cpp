// A run's files are replaced as a set: whatever stops a run (Ctrl-C, a
// termination request, a kill, a full disk, a second run into the same
// folder), the previous results stay as they were, and nothing is left
// lying about after the next run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "support/sheet_builder.h"

namespace {

using varnock_test::read_file;
using varnock_test::TempDir;
using varnock_test::TestSheet;
using varnock_test::write_file;
using Clock = std::chrono::steady_clock;

std::string quoted(const std::filesystem::path& p) { return std::string("'") + p.string() + "'"; }

// Every file of a folder but the sheets and captured output, with its bytes.
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".sheet") || name == "err") continue;
    files[name] = read_file(entry.path());
  }
  return files;
}

bool has_temporary_files(const std::filesystem::path& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().find(".varnock-tmp-") != std::string::npos) return true;
  }
  return false;
}

// A previous complete set in dir, from a small run.
void previous_set(const std::filesystem::path& dir) {
  TestSheet small;
  small.surfaces.push_back(varnock_test::SurfaceRow{0.05, 10, 0, 0, 1, 0, 0, {1.5}});
  write_file(dir / "small.sheet", small.text());
  const std::string command = std::string(VARNOCK_CLI) + " run -q " + quoted(dir / "small.sheet") +
                              " -o " + quoted(dir) + " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ASSERT_TRUE(std::filesystem::exists(dir / "run.json"));
}

// A run of minutes, started in the background with its stderr in dir/err.
pid_t start_long_run(const std::filesystem::path& dir) {
  TestSheet sheet;
  sheet.NPHI = 400;
  sheet.NTH = 40;
  sheet.NRING = 100000;
  write_file(dir / "long.sheet", sheet.text());
  const pid_t child = fork();
  if (child == 0) {
    const std::string err = (dir / "err").string();
    if (std::freopen(err.c_str(), "w", stderr) == nullptr) _exit(99);
    const std::string sheet_path = (dir / "long.sheet").string(), out = dir.string();
    execl(VARNOCK_CLI, VARNOCK_CLI, "run", "-q", "--no-progress", sheet_path.c_str(), "-o",
          out.c_str(), static_cast<char*>(nullptr));
    _exit(98);
  }
  return child;
}

// Waits until the run has begun writing (its temporary files are there).
void wait_until_writing(const std::filesystem::path& dir) {
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!has_temporary_files(dir) && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(has_temporary_files(dir)) << "the run never began writing";
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // well into its passes
}

// The exit code, or -1 when the process does not end within the time.
int exit_code(pid_t child, int seconds) {
  int status = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(ResultSets, CtrlCOrATerminationRequestLeavesThePreviousSet) {
  for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
    TempDir dir;
    previous_set(dir.path());
    const auto before = snapshot(dir.path());
    const pid_t run = start_long_run(dir.path());
    wait_until_writing(dir.path());
    kill(run, signal);
    // Generous: a run stops between tasks of a few milliseconds.
    EXPECT_EQ(exit_code(run, 20), code) << read_file(dir / "err");
    const std::string err = read_file(dir / "err");
    EXPECT_NE(err.find("stopped by"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;  // one line
    EXPECT_EQ(snapshot(dir.path()), before);  // temporary files and lock gone too
  }
}

TEST(ResultSets, AKilledRunLeavesThePreviousSetAndTheNextRunTidiesUp) {
  TempDir dir;
  previous_set(dir.path());
  const auto before = snapshot(dir.path());
  const pid_t run = start_long_run(dir.path());
  wait_until_writing(dir.path());
  kill(run, SIGKILL);
  EXPECT_EQ(exit_code(run, 20), 128 + SIGKILL);
  auto after = snapshot(dir.path());
  EXPECT_TRUE(has_temporary_files(dir.path()));
  std::erase_if(after, [](const auto& f) {
    return f.first.find(".varnock-tmp-") != std::string::npos || f.first == ".varnock.lock";
  });
  EXPECT_EQ(after, before);

  // The next run takes the dead run's lock and removes its files.
  previous_set(dir.path());
  EXPECT_FALSE(has_temporary_files(dir.path()));
  EXPECT_FALSE(std::filesystem::exists(dir / ".varnock.lock"));
}

TEST(ResultSets, AFullDiskLeavesThePreviousSet) {
  TempDir dir;
  previous_set(dir.path());
  const auto before = snapshot(dir.path());
  TestSheet sheet;
  sheet.NPHI = 400;
  sheet.NTH = 40;  // a fan listing of some 400 kB
  write_file(dir / "wide.sheet", sheet.text());
  // Files may grow to 64 kB only (bash counts in kB); past that a write
  // fails as on a full disk, rather than ending the process.
  const std::string command = "bash -c \"trap '' XFSZ; ulimit -f 64; exec " +
                              std::string(VARNOCK_CLI) + " run -q " + quoted(dir / "wide.sheet") +
                              " -o " + quoted(dir.path()) + "\" 2>" + quoted(dir / "err");
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(read_file(dir / "err").find("cannot write"), std::string::npos) << read_file(dir / "err");
  EXPECT_EQ(snapshot(dir.path()), before);
}

TEST(ResultSets, ASecondRunIntoTheFolderIsRefusedAtOnce) {
  TempDir dir;
  const pid_t first = start_long_run(dir.path());
  wait_until_writing(dir.path());
  TempDir other;
  previous_set(other.path());
  const std::string command = std::string(VARNOCK_CLI) + " run -q " + quoted(other / "small.sheet") +
                              " -o " + quoted(dir.path()) + " 2>" + quoted(other / "err");
  const int status = std::system(command.c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(read_file(other / "err").find("another run (process " + std::to_string(first) + ")"),
            std::string::npos)
      << read_file(other / "err");
  kill(first, SIGINT);
  EXPECT_EQ(exit_code(first, 20), 130);
}

TEST(ResultSets, AnIncompleteSetIsReportedByRunAndPlot) {
  TempDir dir;
  previous_set(dir.path());
  // As if a run had been killed while moving its files into place: a file
  // is new, the record that should describe it old.
  const std::string plot = std::string(VARNOCK_CLI) + " plot " + quoted(dir.path()) + " 2>" +
                           quoted(dir / "err") + " >/dev/null";
  write_file(dir / "OUT_MI.txt", "changed after the run");
  EXPECT_EQ(std::system(plot.c_str()), 0);
  EXPECT_NE(read_file(dir / "err").find("run.json does not match the files (OUT_MI.txt)"),
            std::string::npos)
      << read_file(dir / "err");
  const std::string run = std::string(VARNOCK_CLI) + " run -q " + quoted(dir / "small.sheet") +
                          " -o " + quoted(dir.path()) + " 2>" + quoted(dir / "err");
  EXPECT_EQ(std::system(run.c_str()), 0);
  EXPECT_NE(read_file(dir / "err").find("did not match their run.json (OUT_MI.txt)"), std::string::npos)
      << read_file(dir / "err");
}

TEST(ResultSets, AnEmptyFanOverAnEnormousRingAndScanRunsAtOnce) {
  TempDir dir;
  TestSheet sheet;
  sheet.NPHI = 0;
  sheet.NTH = 2147483647;
  sheet.NRING = 2147483647;
  sheet.NSCAN = 2147483647;
  write_file(dir / "empty.sheet", sheet.text());
  const auto start = Clock::now();
  const std::string command = std::string(VARNOCK_CLI) + " run " + quoted(dir / "empty.sheet") +
                              " -o " + quoted(dir.path()) + " >" + quoted(dir / "out") + " 2>" +
                              quoted(dir / "err");
  EXPECT_EQ(std::system(command.c_str()), 0) << read_file(dir / "err");
  // Visiting 4.6e18 positions or 2.1e9 cones one by one would take years.
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - start).count(), 20);
  EXPECT_NE(read_file(dir / "out").find("4,611,686,014,132,420,609"), std::string::npos);
  EXPECT_NE(read_file(dir / "err").find("a large run"), std::string::npos);
  EXPECT_EQ(varnock_test::crlf_lines(read_file(dir / "OUT_M.txt")).size(), 132u);
  EXPECT_EQ(varnock_test::crlf_lines(read_file(dir / "OUT_MI.txt")).size(), 1u);  // the header
}

}  // namespace
