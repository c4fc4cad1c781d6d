// Throughput of the innermost work and of whole runs.
//
//   BM_PassTask      one source position of the bundled condenser example,
//                    traced by one thread's tracer into records: the kernel.
//   BM_WholeRun      a whole run of each benchmark sheet (bench/sheets/), with
//                    1 and 2 threads, exact and fast, legacy and exact sums,
//                    files included.
//   BM_Summation     the legacy and the exact sums of a million ray records.
//   BM_ExactSumAdd,  one exact accumulator against one double: the cost of
//   BM_DoubleAdd     an addition.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>

#include "accum/exact_sums.h"
#include "accum/pass_tasks.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "source/fan.h"
#include "support/files.h"
#include "varnock/varnock.h"

namespace {

const std::filesystem::path SOURCE_DIR(VARNOCK_SOURCE_DIR);

void BM_PassTask(benchmark::State& state) {
  varnock::SystemState sys;
  std::vector<std::string> warnings;
  sys.PI = varnock::RUN_PI;
  varnock::read_sheet(varnock::SheetCells::parse(varnock::read_sheet_bytes(
                          SOURCE_DIR / "examples/condenser.txt", 1 << 20)),
                      sys, warnings);
  varnock::build_fan(sys, varnock::plan_fan(sys.params, varnock::MAX_FAN_RAYS), {}, nullptr, 1);
  const std::int64_t slots = static_cast<std::int64_t>(sys.fan.NRAY) * sys.params.NSET;
  varnock::PassTracer tracer(sys);
  std::vector<varnock::RayRecord> records;
  std::int64_t traced = 0;
  for (auto _ : state) {
    tracer.trace(varnock::PassTask{{0, 0}, {0, slots}}, records);
    traced += static_cast<std::int64_t>(records.size());
    benchmark::DoNotOptimize(records.data());
  }
  state.counters["rays/s"] = benchmark::Counter(static_cast<double>(traced), benchmark::Counter::kIsRate);
  state.counters["steps/s"] = benchmark::Counter(
      static_cast<double>(varnock::ray_surface_steps(traced, sys.params.NSURF)),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PassTask)->Unit(benchmark::kMillisecond);

void BM_WholeRun(benchmark::State& state, const char* sheet, bool fast, bool exact_sums) {
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "varnock-bench";
  std::filesystem::create_directories(out);
  varnock::RunOptions options;
  options.threads = static_cast<unsigned>(state.range(0));
  options.fast = fast;
  options.exact_sums = exact_sums;
  std::int64_t steps = 0;
  for (auto _ : state) {
    varnock::Session session;
    const varnock::RunResult r = session.run(SOURCE_DIR / "bench/sheets" / sheet, out, options);
    if (!r.ok()) {
      state.SkipWithError(r.failure().describe().c_str());
      break;
    }
    steps += r.success().totals.steps;
  }
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
  std::filesystem::remove_all(out);
}
#define WHOLE_RUN(name, sheet, fast, exact_sums)                                          \
  BENCHMARK_CAPTURE(BM_WholeRun, name, sheet, fast, exact_sums)                           \
      ->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)
WHOLE_RUN(condenser, "condenser.txt", false, false);
WHOLE_RUN(reflector, "reflector.txt", false, false);
WHOLE_RUN(mixed, "mixed.txt", false, false);
WHOLE_RUN(condenser_fast, "condenser.txt", true, false);
WHOLE_RUN(reflector_fast, "reflector.txt", true, false);
WHOLE_RUN(mixed_fast, "mixed.txt", true, false);
WHOLE_RUN(condenser_exact_sums, "condenser.txt", false, true);
WHOLE_RUN(reflector_exact_sums, "reflector.txt", false, true);
WHOLE_RUN(mixed_exact_sums, "mixed.txt", false, true);

// The cost of a summation per ray record: a million records of weights in
// (0, 1), most of them landing in the cells around the centre, as a beam's do.
template <typename Sums>
void BM_Summation(benchmark::State& state) {
  std::mt19937_64 random(7);
  std::normal_distribution<double> spread(20, 4);
  std::uniform_real_distribution<double> weight(0, 1);
  auto cell = [&] { return static_cast<std::int8_t>(std::clamp(static_cast<int>(spread(random)), 0, 40)); };
  std::vector<varnock::RayRecord> rays(1 << 20);
  for (varnock::RayRecord& r : rays) r = {weight(random), cell(), cell(), cell(), cell()};
  for (auto _ : state) {
    Sums sums(20, 20);
    sums.add(rays);
    varnock::Results res;
    sums.finish(res);
    benchmark::DoNotOptimize(res.TOTAL);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rays.size()));
}
BENCHMARK(BM_Summation<varnock::SerialSums>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Summation<varnock::ExactSums>)->Unit(benchmark::kMillisecond);

// One accumulator against one double: the cost of an addition.
void BM_ExactSumAdd(benchmark::State& state) {
  std::vector<double> values(1 << 20);
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> weight(0, 1);
  for (double& v : values) v = weight(random);
  for (auto _ : state) {
    varnock::ExactSum sum;
    for (double v : values) sum.add(v);
    benchmark::DoNotOptimize(sum.round());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_ExactSumAdd)->Unit(benchmark::kMillisecond);

void BM_DoubleAdd(benchmark::State& state) {
  std::vector<double> values(1 << 20);
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> weight(0, 1);
  for (double& v : values) v = weight(random);
  for (auto _ : state) {
    double sum = 0;
    for (double v : values) sum += v;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
}
BENCHMARK(BM_DoubleAdd)->Unit(benchmark::kMillisecond);

}  // namespace
