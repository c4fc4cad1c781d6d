// The block tracers alone: nanoseconds per ray-surface step.
//
//   BM_BlockTracer/<sheet>/<tracer>  every block of rays of the sheet's first
//                  scan step (all ring points, every index set), as the run
//                  traces them, through the exact tracer and through the
//                  fast tracer of each instruction-set path this processor
//                  runs. One thread: a figure per core.
//
// The blocks are made once; before each trace the columns a tracer may
// overwrite (the side it starts from, the tangents and the flags) are put
// back (BM_BlockRestore measures what that costs).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "accum/binning.h"
#include "accum/positions.h"
#include "api/simd_choice.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "source/fan.h"
#include "support/files.h"
#include "trace/ray_block.h"
#include "varnock/varnock.h"

namespace {

const std::filesystem::path SOURCE_DIR(VARNOCK_SOURCE_DIR);

struct TracedBlock {
  int set = 0;
  std::unique_ptr<varnock::RayBlock> block;
};

struct SheetBlocks {
  std::vector<varnock::SurfaceSteps> steps;  // per index set, 1-based
  std::vector<TracedBlock> blocks;
  std::int64_t rays = 0;
  int surfaces = 0;
};

// The rays of scan step 0 as the source-position passes fill their blocks:
// ring point by ring point, index set by index set, the fan rays of
// non-negative weight in order, padded to the lane width.
SheetBlocks blocks_of(const char* sheet, int width) {
  varnock::SystemState sys;
  std::vector<std::string> warnings;
  sys.PI = varnock::RUN_PI;
  varnock::read_sheet(varnock::SheetCells::parse(varnock::read_sheet_bytes(
                          SOURCE_DIR / "bench/sheets" / sheet, 1 << 20)),
                      sys, warnings);
  varnock::build_fan(sys, varnock::plan_fan(sys.params, varnock::MAX_FAN_RAYS), {}, nullptr, 1);
  const varnock::RunParams& p = sys.params;
  SheetBlocks out;
  out.surfaces = p.NSURF;
  varnock::SurfaceArray ZS{};
  varnock::place_surfaces(sys, 0, ZS);
  out.steps.resize(static_cast<std::size_t>(p.NSET) + 1);
  for (int w = 1; w <= p.NSET; ++w) {
    varnock::prepare_surface_steps(sys.surf, p.NSURF, ZS, w, sys.PI,
                                   out.steps[static_cast<std::size_t>(w)]);
  }
  const varnock::FanTable& fan = sys.fan;
  for (int j = 0; j < p.NRING; ++j) {
    const varnock::SourcePoint at = varnock::ring_point(sys, j);
    const varnock::PlaneDirection to_axis = varnock::toward_axis(at.X, at.Y);
    for (int w = 1; w <= p.NSET; ++w) {
      TracedBlock current;
      auto close = [&] {
        varnock::RayBlock& b = *current.block;
        b.padded = std::min((b.count + width - 1) / width * width, varnock::BLOCK_RAYS);
        for (int i = b.count; i < b.padded; ++i) {
          b.side[0].X[i] = b.side[0].X[0];
          b.side[0].Y[i] = b.side[0].Y[0];
          b.side[0].U[i] = b.side[0].U[0];
          b.side[0].V[i] = b.side[0].V[0];
          b.TU[i] = b.TU[0];
          b.TV[i] = b.TV[0];
          b.ok[i] = 1;
        }
        b.DXY = p.DXY;
        b.DUV = p.DUV;
        out.rays += b.count;
        out.blocks.push_back(std::move(current));
      };
      for (int n = 1; n <= fan.NRAY; ++n) {
        const std::size_t k = static_cast<std::size_t>(n);
        if (!(varnock::weight_of({fan.EX[k], fan.EY[k]}, to_axis) >= 0)) continue;
        if (!current.block) {
          current.set = w;
          current.block = std::make_unique<varnock::RayBlock>();
        }
        varnock::RayBlock& b = *current.block;
        const std::size_t i = static_cast<std::size_t>(b.count++);
        b.side[0].X[i] = at.X;
        b.side[0].Y[i] = at.Y;
        b.side[0].U[i] = fan.UFAN[k];
        b.side[0].V[i] = fan.VFAN[k];
        b.TU[i] = fan.TU[k];
        b.TV[i] = fan.TV[k];
        b.ok[i] = 1;
        if (b.count == varnock::BLOCK_RAYS) close();
      }
      if (current.block) close();
    }
  }
  return out;
}

// The rays of a block as they start, compact: a trace overwrites them.
struct BlockStart {
  int set = 0, count = 0, padded = 0;
  double DXY = 0, DUV = 0;
  varnock::RayColumns start;
  double TU[varnock::BLOCK_RAYS], TV[varnock::BLOCK_RAYS];
  std::uint8_t ok[varnock::BLOCK_RAYS];
};

// Some 24 blocks spread over the sheet's, few enough to stay in the level-2
// cache as the blocks of a run do, each put into one working block before
// it is traced.
constexpr std::size_t BLOCKS_TIMED = 24;

void time_blocks(benchmark::State& state, const char* sheet, varnock::SimdPath path, bool fast,
                 bool trace) {
  varnock::RunOptions options;
  options.fast = fast;
  options.simd = path;
  const std::optional<varnock::BlockTracer> tracer = varnock::block_tracer_for(options);
  if (!tracer) {
    state.SkipWithError("this path does not run here");
    return;
  }
  SheetBlocks sb = blocks_of(sheet, tracer->width);
  std::vector<BlockStart> starts;
  std::int64_t rays = 0;
  const std::size_t stride = std::max<std::size_t>(1, sb.blocks.size() / BLOCKS_TIMED);
  for (std::size_t i = 0; i < sb.blocks.size() && starts.size() < BLOCKS_TIMED; i += stride) {
    const varnock::RayBlock& b = *sb.blocks[i].block;
    BlockStart& k = starts.emplace_back();
    k.set = sb.blocks[i].set;
    k.count = b.count;
    k.padded = b.padded;
    k.DXY = b.DXY;
    k.DUV = b.DUV;
    k.start = b.side[0];
    std::memcpy(k.TU, b.TU, sizeof b.TU);
    std::memcpy(k.TV, b.TV, sizeof b.TV);
    std::memcpy(k.ok, b.ok, sizeof b.ok);
    rays += b.count;
  }
  auto work = std::make_unique<varnock::RayBlock>();
  varnock::RayBlock& b = *work;
  std::int64_t steps = 0;
  for (auto _ : state) {
    for (const BlockStart& k : starts) {
      b.cur = 0;
      b.count = k.count;
      b.padded = k.padded;
      b.DXY = k.DXY;
      b.DUV = k.DUV;
      b.side[0] = k.start;
      std::memcpy(b.TU, k.TU, sizeof b.TU);
      std::memcpy(b.TV, k.TV, sizeof b.TV);
      std::memcpy(b.ok, k.ok, sizeof b.ok);
      const varnock::SurfaceSteps& steps_of_set = sb.steps[static_cast<std::size_t>(k.set)];
      if (trace) tracer->trace(steps_of_set.data(), static_cast<int>(steps_of_set.size()), b);
      benchmark::DoNotOptimize(b.cell_x);
      benchmark::ClobberMemory();
    }
    steps += rays * sb.surfaces;
  }
  state.counters["ns/step"] = benchmark::Counter(
      static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["steps"] = static_cast<double>(rays * sb.surfaces);
}

void BM_BlockTracer(benchmark::State& state, const char* sheet, varnock::SimdPath path,
                    bool fast) {
  time_blocks(state, sheet, path, fast, true);
}

// Putting the blocks back alone, per step of the blocks' rays.
void BM_BlockRestore(benchmark::State& state, const char* sheet) {
  time_blocks(state, sheet, varnock::SimdPath::Auto, false, false);
}
BENCHMARK_CAPTURE(BM_BlockRestore, condenser, "condenser.txt")->Unit(benchmark::kMillisecond);

#define BLOCK_TRACER(name, sheet)                                                            \
  BENCHMARK_CAPTURE(BM_BlockTracer, name##_exact, sheet, varnock::SimdPath::Auto, false)   \
      ->Unit(benchmark::kMillisecond);                                                     \
  BENCHMARK_CAPTURE(BM_BlockTracer, name##_avx512, sheet, varnock::SimdPath::Avx512, true) \
      ->Unit(benchmark::kMillisecond);                                                     \
  BENCHMARK_CAPTURE(BM_BlockTracer, name##_avx2, sheet, varnock::SimdPath::Avx2, true)     \
      ->Unit(benchmark::kMillisecond);                                                     \
  BENCHMARK_CAPTURE(BM_BlockTracer, name##_sse2, sheet, varnock::SimdPath::Sse2, true)     \
      ->Unit(benchmark::kMillisecond)
BLOCK_TRACER(condenser, "condenser.txt");
BLOCK_TRACER(reflector, "reflector.txt");
BLOCK_TRACER(mixed, "mixed.txt");

}  // namespace
