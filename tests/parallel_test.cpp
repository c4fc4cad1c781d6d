// Work on several threads folded in the serial order: the runner, the cut
// of a run into tasks, what a run reports while its threads work, and the
// smoothed maps folded beside the grids.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <vector>

#include "accum/pass_tasks.h"
#include "parallel/ordered_runner.h"
#include "run/work_share.h"
#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

using varnock_test::TempDir;
using varnock_test::TestSheet;

// Tasks 0..count-1 whose work takes a random while; the folds must see them
// in order, each with its own result, and no more than the window at once.
TEST(OrderedRunner, FoldsInTaskOrderWhateverTheThreadsDo) {
  for (unsigned threads : {1u, 2u, 3u, 8u}) {
    const int count = 500;
    int handed = 0;
    std::vector<int> folded;
    std::atomic<int> in_flight{0}, most_in_flight{0};
    OrderedRunControl control;
    control.threads = threads;
    control.window = 2 * threads;
    const bool finished = run_ordered<int, std::vector<int>>(
        control,
        [&](int& task) {
          if (handed == count) return false;
          task = handed++;
          int now = ++in_flight;
          for (int seen = most_in_flight.load(); now > seen && !most_in_flight.compare_exchange_weak(seen, now);) {
          }
          return true;
        },
        [&](const int& task, std::vector<int>& slot, unsigned thread) {
          EXPECT_LT(thread, threads);
          std::minstd_rand rng(static_cast<unsigned>(task));
          std::this_thread::sleep_for(std::chrono::microseconds(rng() % 200));
          slot.assign(3, task);
        },
        [&](const int& task, std::vector<int>& slot) {
          EXPECT_EQ(slot, std::vector<int>(3, task));
          folded.push_back(task);
          --in_flight;
        });
    EXPECT_TRUE(finished);
    ASSERT_EQ(folded.size(), static_cast<std::size_t>(count)) << threads;
    for (int i = 0; i < count; ++i) ASSERT_EQ(folded[static_cast<std::size_t>(i)], i) << threads;
    EXPECT_LE(most_in_flight.load(), static_cast<int>(control.window)) << threads;
  }
}

TEST(OrderedRunner, StopsWhenCancelledAndRethrowsAFailure) {
  std::atomic<bool> cancel{false};
  OrderedRunControl control;
  control.threads = 3;
  control.cancel = &cancel;
  int handed = 0, folds = 0;
  const bool finished = run_ordered<int, int>(
      control,
      [&](int& task) {
        task = handed++;
        return true;  // endless: only the cancel ends it
      },
      [&](const int& task, int&, unsigned) {
        if (task == 50) cancel = true;
      },
      [&](const int&, int&) { ++folds; });
  EXPECT_FALSE(finished);
  EXPECT_LT(folds, handed);

  control.cancel = nullptr;
  handed = 0;
  auto failing_run = [&] {
    run_ordered<int, int>(
        control,
        [&](int& task) {
          task = handed++;
          return task < 1000;
        },
        [&](const int& task, int&, unsigned) {
          if (task == 20) throw std::runtime_error("disk full");
        },
        [&](const int&, int&) {});
  };
  EXPECT_THROW(failing_run(), std::runtime_error);
}

// The tasks of a plan, laid end to end, are the serial order of the slots.
TEST(PassPlan, TasksCoverEverySlotOnceInOrder) {
  struct Case {
    std::uint64_t positions;
    std::int64_t per_position, per_task;
  };
  for (const Case& c : {Case{7, 10, 3}, Case{5, 1000, 1024}, Case{3, 4096, 1024}, Case{1, 1, 1024},
                        Case{12, 7, 7}}) {
    PassPlan plan(c.positions, c.per_position, c.per_task);
    SlotIndex expected;
    PassTask task;
    std::int64_t tasks = 0;
    const PassPlan by_number(c.positions, c.per_position, c.per_task);
    while (plan.next(task)) {
      // Task k taken by its number, as a shared run hands them out, is the
      // one next() gives k-th.
      const PassTask numbered = by_number.task(static_cast<std::uint64_t>(tasks));
      EXPECT_EQ(numbered.begin.position, task.begin.position);
      EXPECT_EQ(numbered.begin.slot, task.begin.slot);
      EXPECT_EQ(numbered.end.position, task.end.position);
      EXPECT_EQ(numbered.end.slot, task.end.slot);
      ++tasks;
      EXPECT_EQ(task.begin.position, expected.position);
      EXPECT_EQ(task.begin.slot, expected.slot);
      const std::int64_t length =
          static_cast<std::int64_t>(task.end.position - task.begin.position) * c.per_position +
          (task.end.slot - task.begin.slot);
      const bool last = task.end.position == c.positions;
      if (!last) {
        EXPECT_EQ(length, c.per_task);
      }
      EXPECT_GT(length, 0);
      EXPECT_LT(task.end.slot, c.per_position);
      expected = task.end;
    }
    EXPECT_EQ(expected.position, c.positions);
    EXPECT_EQ(expected.slot, 0);
    const std::int64_t all = static_cast<std::int64_t>(c.positions) * c.per_position;
    EXPECT_EQ(tasks, (all + c.per_task - 1) / c.per_task);
    EXPECT_EQ(by_number.tasks(), static_cast<std::uint64_t>(tasks));
    EXPECT_EQ(plan.fraction(expected), 1.0);
  }
  // No slots at all (an empty fan): no task, however many positions.
  PassPlan empty(std::numeric_limits<std::uint64_t>::max() / 2, 0, 1024);
  PassTask task;
  EXPECT_FALSE(empty.next(task));
}

TEST(PassPlan, AnEnormousRunIsCutWithoutOverflow) {
  // 2^62 positions of 3 slots, 1024 slots a task: tasks span many positions.
  const std::uint64_t positions = std::uint64_t{1} << 62;
  PassPlan plan(positions, 3, 1024);
  PassTask task;
  ASSERT_TRUE(plan.next(task));
  EXPECT_EQ(task.end.position, 341u);
  EXPECT_EQ(task.end.slot, 1);
  ASSERT_TRUE(plan.next(task));
  EXPECT_EQ(task.begin.position, 341u);
  EXPECT_GT(plan.fraction(task.end), 0);
  EXPECT_LT(plan.fraction(task.end), 1e-15);
  // Its 3 * 2^62 slots still count in 64 bits, so its tasks can be handed
  // out by number; twice as many positions cannot.
  EXPECT_EQ(plan.tasks(), 3 * (std::uint64_t{1} << 52));
  EXPECT_EQ(PassPlan(2 * positions, 3, 1024).tasks(), 0u);
}

TestSheet busy_sheet() {
  TestSheet s;
  s.THMAX = 0.3;
  s.NPHI = 300;
  s.NTH = 30;
  s.NRING = 12;
  s.NSCAN = 3;
  s.WSCAN = 1;
  s.NSET = 2;
  s.surfaces = {varnock_test::SurfaceRow{0, 15, 0, 0, 1, 0, 0, {1, 1}},
                varnock_test::SurfaceRow{0.04, 4, 0, 0, 1, 0, 0, {1.5168, 1.522}},
                varnock_test::SurfaceRow{-0.04, 6, 0, 0, 1, 0, 0, {1, 1}}};
  return s;
}

TEST(ParallelRun, ProgressCoversTheWholeRunAndEndsComplete) {
  TempDir dir;
  varnock_test::write_file(dir / "IN_FM.txt", busy_sheet().text());
  std::vector<RunProgress> seen;
  RunOptions options;
  options.threads = 2;
  const std::thread::id caller = std::this_thread::get_id();
  options.on_progress = [&](const RunProgress& p) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    seen.push_back(p);
  };
  Session session;
  const RunResult r = session.run(dir / "IN_FM.txt", dir.path(), options);
  ASSERT_TRUE(r.ok()) << r.failure().describe();
  ASSERT_FALSE(seen.empty());
  for (std::size_t i = 1; i < seen.size(); ++i) {
    EXPECT_GE(seen[i].fraction, seen[i - 1].fraction);
    EXPECT_GE(seen[i].rays_traced, seen[i - 1].rays_traced);
  }
  const RunProgress& last = seen.back();
  const RunTotals& t = r.success().totals;
  EXPECT_EQ(last.fraction, 1);
  EXPECT_EQ(last.positions_done, 36);
  EXPECT_EQ(last.positions_total, 36);
  EXPECT_EQ(last.rays_traced, t.rays_traced);
  EXPECT_EQ(last.steps, t.rays_traced * 2);
  EXPECT_EQ(t.steps, t.rays_traced * 2);
  EXPECT_EQ(r.success().threads, 2u);
}

TEST(ParallelRun, CountsOfRaysSitBesideTheWeights) {
  TempDir dir;
  varnock_test::write_file(dir / "IN_FM.txt", busy_sheet().text());
  Session session;
  const RunResult r = session.run(dir / "IN_FM.txt", dir.path());
  ASSERT_TRUE(r.ok());
  const RunMaps& m = r.success().maps;
  std::int64_t rays = 0;
  for (int i = 0; i < GRID_SIZE; ++i) {
    for (int j = 0; j < GRID_SIZE; ++j) {
      rays += m.IXY_rays[i][j];
      // A cell with weight has rays, and one without has none.
      EXPECT_EQ(m.IXY[i][j] > 0, m.IXY_rays[i][j] > 0) << i << " " << j;
      EXPECT_EQ(m.IUV[i][j] > 0, m.IUV_rays[i][j] > 0) << i << " " << j;
    }
  }
  // Every ray binned into IXY is binned into IUV too, and some were.
  std::int64_t uv = 0;
  for (const auto& column : m.IUV_rays) {
    for (std::int64_t n : column) uv += n;
  }
  EXPECT_EQ(rays, uv);
  EXPECT_GT(rays, 0);
  EXPECT_LE(rays, r.success().totals.rays_traced);
}

// ---------------------------------------------------------------------------
// Smoothed maps beside the plain ones.

double sum_of(const GridValues& g) {
  double sum = 0;
  for (const auto& row : g) {
    for (double v : row) sum += v;
  }
  return sum;
}

bool same_plain_maps(const RunSuccess& a, const RunSuccess& b) {
  const RunMaps &x = a.maps, &y = b.maps;
  return std::memcmp(&a.totals.total, &b.totals.total, sizeof(double)) == 0 && x.IXY == y.IXY &&
         x.IUV == y.IUV && x.IUV_P == y.IUV_P && x.IXY_rays == y.IXY_rays &&
         x.IUV_rays == y.IUV_rays && x.IUV_P_rays == y.IUV_P_rays;
}

// The busy system with cells so coarse that its light lies well inside
// both windows: no share of a binned ray falls off a grid.
TestSheet coarse_busy_sheet() {
  TestSheet s = busy_sheet();
  s.DXY = 1;
  s.DUV = 0.05;
  return s;
}

RunResult run_in(const TempDir& dir, const TestSheet& sheet, const RunOptions& options) {
  varnock_test::write_file(dir / "IN_FM.txt", sheet.text());
  Session session;
  return session.run(dir / "IN_FM.txt", dir.path(), options);
}

TEST(SmoothedRun, SameBitsOnAnyThreadsWithThePlainResultsAndFilesUntouched) {
  TempDir plain_dir;
  RunOptions options;
  options.threads = 2;
  const RunResult plain = run_in(plain_dir, coarse_busy_sheet(), options);
  ASSERT_TRUE(plain.ok()) << plain.failure().describe();
  EXPECT_FALSE(plain.success().maps.smoothed.has_value());  // not asked for

  options.smoothed_maps = true;
  std::optional<SmoothedGrids> first;
  for (unsigned threads : {1u, 3u}) {
    TempDir dir;
    options.threads = threads;
    const RunResult r = run_in(dir, coarse_busy_sheet(), options);
    ASSERT_TRUE(r.ok()) << r.failure().describe();
    EXPECT_TRUE(same_plain_maps(r.success(), plain.success())) << threads << " threads";
    for (const char* file : {"OUT_M.txt", "OUT_MI.txt"}) {
      EXPECT_EQ(varnock_test::read_file(dir / file), varnock_test::read_file(plain_dir / file))
          << file << ", " << threads << " threads";
    }
    ASSERT_TRUE(r.success().maps.smoothed.has_value());
    const SmoothedGrids& g = *r.success().maps.smoothed;
    if (!first) {
      first = g;
    } else {
      EXPECT_EQ(std::memcmp(&*first, &g, sizeof g), 0) << threads << " threads";
    }
  }
  // With every share inside the grids, each smoothed map holds the weight
  // of its plain map.
  const RunMaps& m = plain.success().maps;
  ASSERT_GT(sum_of(m.IUV_P), 0);
  for (const auto& [smoothed, grid, name] :
       {std::tuple{&first->IXY, &m.IXY, "IXY"}, {&first->IUV, &m.IUV, "IUV"},
        {&first->IUV_P, &m.IUV_P, "IUV_P"}}) {
    EXPECT_NEAR(sum_of(*smoothed), sum_of(*grid), 1e-12 * sum_of(*grid)) << name;
    EXPECT_NE(*smoothed, *grid) << name;  // and spreads it differently
  }
}

// The fast tracer's rays agree with the exact one's to about 1e-13, and the
// smoothed maps follow them continuously: close, whatever a ray on a plain
// cell border did. IUV_P is compared where the plain selected cell holds
// the same rays in both.
TEST(SmoothedRun, FastModeGivesSmoothedMapsCloseToExactMode) {
  TempDir exact_dir, fast_dir;
  RunOptions options;
  options.threads = 2;
  options.smoothed_maps = true;
  const RunResult exact = run_in(exact_dir, coarse_busy_sheet(), options);
  options.fast = true;
  const RunResult fast = run_in(fast_dir, coarse_busy_sheet(), options);
  if (!fast.ok() && fast.failure().kind == FailureKind::Unsupported) GTEST_SKIP() << "no fast mode here";
  ASSERT_TRUE(exact.ok() && fast.ok());
  const SmoothedGrids& e = *exact.success().maps.smoothed;
  const SmoothedGrids& f = *fast.success().maps.smoothed;
  const double tolerance = 1e-11 * exact.success().totals.total;
  const bool same_selected =
      exact.success().maps.IXY_rays[20][20] == fast.success().maps.IXY_rays[20][20];
  for (int i = 0; i < GRID_SIZE; ++i) {
    for (int k = 0; k < GRID_SIZE; ++k) {
      EXPECT_NEAR(e.IXY[i][k], f.IXY[i][k], tolerance) << i << " " << k;
      EXPECT_NEAR(e.IUV[i][k], f.IUV[i][k], tolerance) << i << " " << k;
      if (same_selected) {
        EXPECT_NEAR(e.IUV_P[i][k], f.IUV_P[i][k], tolerance) << i << " " << k;
      }
    }
  }
}

// A process's share of a run's rays would give partial smoothed grids.
TEST(SmoothedRun, ARunSharedAmongProcessesRefusesThem) {
  class UnusedShare final : public WorkShare {
   public:
    bool writes_files() const override { return true; }
    void start(const ProcessInfo&, std::uint64_t, std::uint64_t) override { ADD_FAILURE(); }
    bool next_tasks(std::uint64_t, std::uint64_t&, std::uint64_t&) override { return false; }
    void combine(std::vector<std::uint8_t>&, std::vector<std::int64_t>&) override {}
    std::vector<ProcessInfo> processes() const override { return {}; }
  } share;
  TempDir dir;
  RunOptions options;
  options.share = &share;
  options.exact_sums = true;
  options.smoothed_maps = true;
  const RunResult r = run_in(dir, busy_sheet(), options);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, FailureKind::Output);
  EXPECT_EQ(r.failure().message, "smoothed maps are not available in a run shared among processes");
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_M.txt"));
}

TEST(ParallelRun, ACancelledRunFailsAsCancelledAndLeavesThePreviousReport) {
  TempDir dir;
  TestSheet sheet = busy_sheet();
  sheet.NRING = 2000;  // far longer than the test waits
  varnock_test::write_file(dir / "IN_FM.txt", sheet.text());
  varnock_test::write_file(dir / "OUT_M.txt", "an earlier report");
  std::atomic<bool> cancel{false};
  RunOptions options;
  options.threads = 2;
  options.cancel = &cancel;
  int reports = 0;
  options.on_progress = [&](const RunProgress&) {
    if (++reports == 3) cancel = true;
  };
  Session session;
  const RunResult r = session.run(dir / "IN_FM.txt", dir.path(), options);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.failure().kind, FailureKind::Cancelled);
  EXPECT_EQ(varnock_test::read_file(dir / "OUT_M.txt"), "an earlier report");
  EXPECT_FALSE(std::filesystem::exists(dir / "OUT_MI.txt"));  // not even a partial listing
}

}  // namespace
}  // namespace varnock
