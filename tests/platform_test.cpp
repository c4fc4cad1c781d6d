// The platform layer: what the result sets and studies lean on to tell a
// dead run's leftovers, to keep one run per folder and to stop cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "support/files.h"
#include "support/process_files.h"
#include "support/sheet_builder.h"

namespace {

using namespace varnock;
using varnock_test::TempDir;

TEST(Platform, TellsAnEndedProcessFromALivingOne) {
  EXPECT_FALSE(platform::process_ended(platform::process_id()));
  EXPECT_FALSE(platform::process_ended(0));
  EXPECT_FALSE(platform::process_ended(-5));
  // A child that has exited and been reaped no longer exists.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(platform::process_ended(child));
  EXPECT_FALSE(platform::host_name().empty());
}

TEST(Platform, OneLockPerFileNamingItsHolder) {
  TempDir dir;
  const std::filesystem::path path = dir / ".lock";
  std::string holder;
  std::unique_ptr<platform::FileLock> first = platform::FileLock::try_take(path, holder);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(std::filesystem::exists(path));
  // Taken through another opening of the file, even by this process.
  EXPECT_EQ(platform::FileLock::try_take(path, holder), nullptr);
  EXPECT_EQ(holder, std::to_string(platform::process_id()));
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_NE(platform::FileLock::try_take(path, holder), nullptr);
  EXPECT_THROW(platform::FileLock::try_take(dir / "missing" / ".lock", holder), std::system_error);
}

TEST(Platform, StopRequestsSetTheFlagAndSayWhichCame) {
  std::atomic<bool> stop{false};
  {
    platform::StopRequests requests(stop);
    EXPECT_EQ(platform::last_stop_request(), platform::StopKind::none);
    std::raise(SIGINT);
    EXPECT_TRUE(stop.load());
    EXPECT_EQ(platform::last_stop_request(), platform::StopKind::interrupt);
    std::raise(SIGTERM);
    EXPECT_EQ(platform::last_stop_request(), platform::StopKind::terminate);
  }
  // Still known once the requests have ended, for the exit status.
  EXPECT_EQ(platform::last_stop_request(), platform::StopKind::terminate);
}

TEST(Platform, FilesReplacedWholeAndNamedInUtf8) {
  TempDir dir;
  // A folder whose name is not in any one ANSI code page.
  const std::filesystem::path folder = dir.path() / utf8_path("r\xc3\xa9sultats \xe7\xb5\x90\xe6\x9e\x9c");
  std::filesystem::create_directory(folder);
  EXPECT_EQ(display(folder.filename()), "r\xc3\xa9sultats \xe7\xb5\x90\xe6\x9e\x9c");

  const std::filesystem::path target = folder / "sweep.csv";
  write_atomically(target, "old\n");
  write_atomically(target, std::string(100000, 'x'));
  EXPECT_EQ(read_whole_file(target), std::string(100000, 'x'));
  // Nothing under a temporary name stays beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);

  std::error_code ec;
  platform::replace_file(folder / "missing", target, ec);
  EXPECT_TRUE(ec);
  EXPECT_EQ(read_whole_file(target).size(), 100000u);
  EXPECT_THROW(read_whole_file(folder / "missing"), std::runtime_error);
}

TEST(Platform, LeftoversOfDeadProcessesAloneAreCleared) {
  TempDir dir;
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  const std::string mine = process_tag();
  const std::string dead = mine.substr(0, mine.rfind('-') + 1) + std::to_string(child);
  for (const std::string& name : {"a.varnock-tmp-" + dead, "a.varnock-tmp-" + mine, "b.other-" + dead,
                                  "a.varnock-tmp-elsewhere-" + std::to_string(child)}) {
    std::ofstream(dir / name) << "x";
  }
  remove_left_by_dead_processes(dir.path(), [](const std::string& name) {
    return name.find(".varnock-tmp-") != std::string::npos;
  });
  EXPECT_FALSE(std::filesystem::exists(dir / ("a.varnock-tmp-" + dead)));
  EXPECT_TRUE(std::filesystem::exists(dir / ("a.varnock-tmp-" + mine)));   // this process lives
  EXPECT_TRUE(std::filesystem::exists(dir / ("b.other-" + dead)));         // not ours
  EXPECT_TRUE(std::filesystem::exists(dir / ("a.varnock-tmp-elsewhere-" + std::to_string(child))));
}

}  // namespace
