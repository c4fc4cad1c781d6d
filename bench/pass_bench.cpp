// Throughput of the innermost work and of whole runs.
//
//   BM_PassTask      one source position of the bundled condenser example,
//                    traced by one thread's tracer into records: the kernel.
//   BM_WholeRun      a whole run of each benchmark sheet (bench/sheets/), with
//                    1 and 2 threads, exact and fast, files included.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <vector>

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

void BM_WholeRun(benchmark::State& state, const char* sheet, bool fast) {
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "varnock-bench";
  std::filesystem::create_directories(out);
  varnock::RunOptions options;
  options.threads = static_cast<unsigned>(state.range(0));
  options.fast = fast;
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
#define WHOLE_RUN(name, sheet, fast)                                                      \
  BENCHMARK_CAPTURE(BM_WholeRun, name, sheet, fast)                                       \
      ->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)
WHOLE_RUN(condenser, "condenser.txt", false);
WHOLE_RUN(reflector, "reflector.txt", false);
WHOLE_RUN(mixed, "mixed.txt", false);
WHOLE_RUN(condenser_fast, "condenser.txt", true);
WHOLE_RUN(reflector_fast, "reflector.txt", true);
WHOLE_RUN(mixed_fast, "mixed.txt", true);

}  // namespace
