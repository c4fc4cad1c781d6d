// What varnock watch takes from a folder: a report only once it is whole
// and settled, a run's set only once its run.json has followed, the last
// good report kept (and the reason said) while the folder holds a
// half-written or broken one, and the very page data varnock plot makes,
// without writing into the folder.
#include "watch/folder_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "api/plot_folder.h"
#include "report/html_page.h"
#include "support/number_text.h"
#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using varnock_test::read_file;
using varnock_test::TempDir;
using varnock_test::write_file;
using Json = nlohmann::json;

constexpr milliseconds LONG_AGO{3600 * 1000};

// Writes bytes at path, last modified `age` ago by the file system's clock.
void put(const fs::path& path, const std::string& bytes, milliseconds age = milliseconds(0)) {
  write_file(path, bytes);
  fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

// The first n lines of a report, as a writer that has got that far leaves it.
std::string first_lines(const std::string& report, int n) {
  std::size_t at = 0;
  for (int k = 0; k < n; ++k) at = report.find('\n', at) + 1;
  return report.substr(0, at);
}

std::set<std::string> names_in(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

struct ExampleRun {
  TempDir dir;
  std::string total;  // as the report prints it
  std::string file(const char* name) const { return read_file(dir / name); }
};

class FolderWatchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    condenser_ = new ExampleRun;
    reflector_ = new ExampleRun;
    for (auto [run, sheet] : {std::pair{condenser_, "condenser.txt"}, std::pair{reflector_, "reflector.txt"}}) {
      RunOptions options;
      options.write_run_record = true;
      Session session;
      const RunResult r = session.run(fs::path(VARNOCK_SOURCE_DIR) / "examples" / sheet, run->dir.path(), options);
      ASSERT_TRUE(r.ok()) << r.failure().describe();
      run->total = fixed_text(r.success().totals.total);
      fs::copy_file(fs::path(VARNOCK_SOURCE_DIR) / "examples" / sheet, run->dir / SHEET_FILE);
    }
    ASSERT_NE(condenser_->total, reflector_->total);
  }
  static void TearDownTestSuite() {
    delete condenser_;
    delete reflector_;
  }

  static Json data_of(const FolderWatch& watch) { return Json::parse(watch.data_json()); }
  static std::string total_of(const FolderWatch& watch) { return data_of(watch)["totals"]["total"]; }

  // A folder as the front end's library leaves it: the sheet and the report.
  void exchange_folder(const ExampleRun& run) {
    put(dir_ / SHEET_FILE, run.file(SHEET_FILE), LONG_AGO);
    put(dir_ / REPORT_FILE, run.file(REPORT_FILE), LONG_AGO);
  }

  static ExampleRun* condenser_;
  static ExampleRun* reflector_;
  TempDir dir_;
  const FolderWatch::Clock::time_point t0_ = FolderWatch::Clock::now();
};

ExampleRun* FolderWatchTest::condenser_ = nullptr;
ExampleRun* FolderWatchTest::reflector_ = nullptr;

TEST_F(FolderWatchTest, ShowsAQuietFolderAtOnceAsPlotDoesAndWritesNothing) {
  exchange_folder(*condenser_);
  FolderWatch watch(dir_.path());
  EXPECT_TRUE(watch.poll(t0_));
  EXPECT_EQ(watch.version(), 1u);
  EXPECT_EQ(watch.waiting(), "");
  const Json data = data_of(watch);
  EXPECT_EQ(data["totals"]["total"], condenser_->total);
  EXPECT_FALSE(data["system"].is_null()) << "the sheet beside the report gives the system";

  // The page varnock plot writes for the folder carries the same data.
  TempDir elsewhere;
  PlotOptions options;
  options.output_dir = elsewhere.path();
  const PlotResult plotted = plot_folder(dir_.path(), options);
  EXPECT_NE(read_file(plotted.page).find(embeddable_json(watch.data_json())), std::string::npos);

  EXPECT_FALSE(watch.poll(t0_ + milliseconds(1000))) << "nothing changed";
  EXPECT_EQ(watch.version(), 1u);
  EXPECT_EQ(names_in(dir_.path()), (std::set<std::string>{SHEET_FILE, REPORT_FILE}));
}

TEST_F(FolderWatchTest, TakesANewReportOnlyOnceItHasSettled) {
  exchange_folder(*condenser_);
  FolderWatch watch(dir_.path());
  ASSERT_TRUE(watch.poll(t0_));

  put(dir_ / REPORT_FILE, reflector_->file(REPORT_FILE));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(100)));
  EXPECT_EQ(watch.waiting(), "OUT_M.txt is being written");
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(399)));
  EXPECT_EQ(total_of(watch), condenser_->total) << "the last good report stays meanwhile";
  EXPECT_TRUE(watch.poll(t0_ + milliseconds(400)));
  EXPECT_EQ(watch.version(), 2u);
  EXPECT_EQ(watch.waiting(), "");
  EXPECT_EQ(total_of(watch), reflector_->total);

  // A file that changes again while settling starts its wait again.
  put(dir_ / REPORT_FILE, first_lines(condenser_->file(REPORT_FILE), 100));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(500)));
  put(dir_ / REPORT_FILE, condenser_->file(REPORT_FILE));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(700)));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(999)));
  EXPECT_EQ(watch.version(), 2u);
  EXPECT_TRUE(watch.poll(t0_ + milliseconds(1000)));
  EXPECT_EQ(total_of(watch), condenser_->total);

  // The sheet changing is waited for too: the drawing comes from it.
  put(dir_ / SHEET_FILE, reflector_->file(SHEET_FILE));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(1100)));
  EXPECT_EQ(watch.waiting(), "IN_FM.txt is being written");
}

TEST_F(FolderWatchTest, KeepsTheLastGoodReportAndSaysWhyTheNewOneIsNotShown) {
  exchange_folder(*condenser_);
  FolderWatch watch(dir_.path());
  ASSERT_TRUE(watch.poll(t0_));
  const std::string shown = watch.data_json();
  const std::string report = reflector_->file(REPORT_FILE);

  std::string broken_cell = report;
  const std::size_t line_70 = first_lines(report, 69).size();
  broken_cell.replace(line_70, 3, "x.y");
  const struct {
    std::string bytes;
    std::string says;
  } not_reports[] = {
      {first_lines(report, 60),
       "OUT_M.txt is not a complete report: line 60: the report ends after 60 of its 132 lines"},
      {"", "OUT_M.txt is not a complete report: the file is empty"},
      {broken_cell, "OUT_M.txt is not a complete report: line 70: expected a cell"},
      {report + report.substr(0, 10) + "\r\n", "OUT_M.txt is not a complete report: line 133"},
  };
  int step = 1;
  for (const auto& bad : not_reports) {
    put(dir_ / REPORT_FILE, bad.bytes);
    const auto at = t0_ + milliseconds(1000 * step++);
    EXPECT_FALSE(watch.poll(at));
    EXPECT_FALSE(watch.poll(at + milliseconds(300)));
    EXPECT_EQ(watch.waiting().substr(0, bad.says.size()), bad.says);
    EXPECT_EQ(watch.version(), 1u);
    EXPECT_EQ(watch.data_json(), shown);
  }

  put(dir_ / REPORT_FILE, report);
  const auto at = t0_ + milliseconds(1000 * step);
  EXPECT_FALSE(watch.poll(at));
  EXPECT_TRUE(watch.poll(at + milliseconds(300)));
  EXPECT_EQ(watch.waiting(), "");
  EXPECT_EQ(total_of(watch), reflector_->total);
}

TEST_F(FolderWatchTest, TakesARunsSetOnceItsRunJsonHasFollowed) {
  const char* set[] = {"OUT_MI.txt", "OUT_MR.txt", REPORT_FILE, RUN_RECORD_FILE};
  for (const char* name : set) put(dir_ / name, condenser_->file(name), LONG_AGO);
  FolderWatch watch(dir_.path());
  ASSERT_TRUE(watch.poll(t0_));
  EXPECT_FALSE(data_of(watch)["run"].is_null()) << "run.json matches the files";

  // The next run moves its files into place, run.json last.
  for (const char* name : {"OUT_MI.txt", "OUT_MR.txt", REPORT_FILE}) put(dir_ / name, reflector_->file(name));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(100)));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(1000)));
  EXPECT_EQ(watch.waiting(), "a new set of results is being moved into place (OUT_M.txt is newer than run.json)");
  EXPECT_EQ(total_of(watch), condenser_->total);
  put(dir_ / RUN_RECORD_FILE, reflector_->file(RUN_RECORD_FILE));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(1100)));
  EXPECT_TRUE(watch.poll(t0_ + milliseconds(1400)));
  EXPECT_EQ(total_of(watch), reflector_->total);
  EXPECT_FALSE(data_of(watch)["run"].is_null()) << "the new run.json matches the new files";

  // A report that run.json never follows (main6 writing into a run's
  // folder) is shown after a while, with plot's note about run.json.
  put(dir_ / REPORT_FILE, condenser_->file(REPORT_FILE));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(2000)));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(3999)));
  EXPECT_EQ(total_of(watch), reflector_->total);
  EXPECT_TRUE(watch.poll(t0_ + milliseconds(4000)));
  EXPECT_EQ(total_of(watch), condenser_->total);
  const Json data = data_of(watch);
  EXPECT_TRUE(data["run"].is_null());
  ASSERT_FALSE(data["notes"].empty());
  EXPECT_NE(data["notes"][0].get<std::string>().find("run.json does not match the files (OUT_M.txt)"),
            std::string::npos);
}

TEST_F(FolderWatchTest, SaysWhenTheFolderHoldsNoReport) {
  FolderWatch watch(dir_.path());
  EXPECT_FALSE(watch.poll(t0_));
  EXPECT_EQ(watch.version(), 0u);
  EXPECT_EQ(watch.data_json(), "");
  EXPECT_EQ(watch.waiting(), "there is no OUT_M.txt in the folder yet");

  put(dir_ / REPORT_FILE, condenser_->file(REPORT_FILE));
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(100)));
  EXPECT_TRUE(watch.poll(t0_ + milliseconds(400)));
  EXPECT_TRUE(data_of(watch)["system"].is_null()) << "no sheet beside it: no system";

  fs::remove(dir_ / REPORT_FILE);
  EXPECT_FALSE(watch.poll(t0_ + milliseconds(500)));
  EXPECT_EQ(watch.waiting(), "OUT_M.txt is no longer in the folder");
  EXPECT_EQ(total_of(watch), condenser_->total);
}

}  // namespace
}  // namespace varnock
