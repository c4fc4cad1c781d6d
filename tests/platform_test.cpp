// The platform layer: what the result sets and studies lean on to tell a
// dead run's leftovers, to keep one run per folder and to stop cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/platform.h"
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

}  // namespace
