// Throughput of the innermost work: source-position passes through the
// bundled condenser, and a whole run of it including the files.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "accum/run_position.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "source/fan.h"
#include "support/files.h"
#include "varnock/varnock.h"

namespace {

const std::filesystem::path EXAMPLE = std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples/condenser.txt";

void BM_SourcePositionPass(benchmark::State& state) {
  varnock::Model model;
  std::vector<std::string> warnings;
  model.sys.PI = varnock::RUN_PI;
  varnock::read_sheet(varnock::SheetCells::parse(varnock::read_sheet_bytes(EXAMPLE, 1 << 20)),
                      model.sys, warnings);
  varnock::build_fan(model.sys, model.ray, nullptr,
                     varnock::count_fan_rays(model.sys.params, varnock::MAX_FAN_RAYS));
  const varnock::RunParams& p = model.sys.params;
  model.sys.ZS[0] = model.sys.surf.TH[0];
  for (int i = 1; i <= p.NSURF; ++i) model.sys.ZS[i] = model.sys.surf.TH[i] + model.sys.ZS[i - 1];
  model.ray.X[0] = p.RSRC;
  model.ray.Y[0] = 0;
  std::int64_t traced = 0;
  for (auto _ : state) {
    traced += varnock::run_position(model.sys, model.ray, model.res);
    benchmark::DoNotOptimize(model.res.TOTAL);
  }
  state.counters["rays/s"] = benchmark::Counter(static_cast<double>(traced), benchmark::Counter::kIsRate);
  state.counters["surface steps/s"] = benchmark::Counter(
      static_cast<double>(traced * p.NSURF), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SourcePositionPass)->Unit(benchmark::kMillisecond);

void BM_WholeRun(benchmark::State& state) {
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "varnock-bench";
  std::filesystem::create_directories(out);
  varnock::Session session;
  for (auto _ : state) {
    const varnock::RunResult r = session.run(EXAMPLE, out);
    if (!r.ok()) state.SkipWithError(r.failure().describe().c_str());
  }
  std::filesystem::remove_all(out);
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond);

}  // namespace
