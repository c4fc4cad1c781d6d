// A study's points side by side on several threads (also run under the
// ThreadSanitizer): the table is the one the points give one by one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "study/study.h"

namespace varnock {
namespace {

std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(StudyThreads, PointsSideBySideWriteTheTableOfPointsOneByOne) {
  const std::filesystem::path root = std::filesystem::path(testing::TempDir()) / "study_threads";
  std::filesystem::remove_all(root);
  std::vector<std::string> warnings;
  const StudyDefinition d = sweep_definition(std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples" / "condenser.txt",
                                             {{"TH0", "16:30:5"}, {"RSRC", "0.5,1"}}, false, warnings);
  ASSERT_EQ(d.points(), 10);
  std::string tables[2];
  for (unsigned threads : {1u, 3u}) {
    StudyOptions options;
    options.folder = root / std::to_string(threads);
    options.threads = threads;
    std::int64_t last_done = 0;
    options.on_progress = [&](std::int64_t done, std::int64_t total, double) {
      EXPECT_EQ(done, last_done + 1);  // reported once per point, under a lock
      EXPECT_EQ(total, 10);
      last_done = done;
    };
    const StudyResult result = run_study(d, options);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.run_now, 10);
    EXPECT_EQ(result.failed, 0);
    tables[threads == 1 ? 0 : 1] = read_file(options.folder / "sweep.csv");
  }
  EXPECT_EQ(std::count(tables[0].begin(), tables[0].end(), '\n'), 11);
  EXPECT_EQ(tables[0], tables[1]);
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace varnock
