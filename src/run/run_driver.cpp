#include "run/run_driver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "accum/fold.h"
#include "accum/pass_tasks.h"
#include "accum/positions.h"
#include "accum/exact_sums.h"
#include "accum/run_size.h"
#include "accum/smoothed_sums.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "parallel/ordered_runner.h"
#include "platform/platform.h"
#include "run/report.h"
#include "run/work_share.h"
#include "source/fan.h"
#include "support/files.h"
#include "support/fnv1a.h"
#include "support/run_error.h"


#ifndef VARNOCK_VERSION
#define VARNOCK_VERSION "unknown"
#endif

namespace varnock {
namespace {

using Clock = std::chrono::steady_clock;

// Sheet cells of the fan's two counts, for messages: (column, row) from 0.
constexpr int NPHI_COLUMN = 2, NPHI_ROW = 4;
constexpr int NTH_COLUMN = 2, NTH_ROW = 5;

[[noreturn]] void refuse_oversized_fan(const RunParams& p, const std::string& sheet_name) {
  fail_sheet_cell(sheet_name, NTH_COLUMN, NTH_ROW,
                  "NTH = " + std::to_string(p.NTH) + " with NPHI = " + std::to_string(p.NPHI) +
                      " (cell " + cell_name(NPHI_COLUMN, NPHI_ROW) + ") makes a fan of more than " +
                      std::to_string(MAX_FAN_RAYS) + " rays; refused");
}

void require_output_folder(const std::filesystem::path& dir) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    fail_output(display(dir), "the output folder does not exist or is not a folder");
  }
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Which maths code this process runs: in exact mode the C library's
// functions, which take their fused multiply-add variants where the
// processor has FMA and AVX2; in fast mode plain IEEE arithmetic, the same
// bits on every instruction-set path.
std::string maths_path(const BlockTracer& tracer) {
  return tracer.trace != trace_block_exact ? "fast" : platform::c_library_maths();
}

std::string host_name() {
  const std::string name = platform::host_name();
  return name.empty() ? "unknown" : name;
}

// Every cell's ray count and the rays traced, in the order combine() sums
// them, and back.
std::vector<std::int64_t> counts_of(const Results& res, std::int64_t rays) {
  std::vector<std::int64_t> counts{rays};
  for (const GridCounts* grid : {&res.IXY_rays, &res.IUV_rays, &res.IUV_P_rays}) {
    for (const auto& row : *grid) counts.insert(counts.end(), row.begin(), row.end());
  }
  return counts;
}

std::int64_t take_counts(Results& res, std::span<const std::int64_t> counts) {
  std::size_t at = 1;
  for (GridCounts* grid : {&res.IXY_rays, &res.IUV_rays, &res.IUV_P_rays}) {
    for (auto& row : *grid) {
      for (std::int64_t& c : row) c = counts[at++];
    }
  }
  return counts[0];
}

// What the passes leave beside model.res.
struct PassesDone {
  std::int64_t rays = 0;                   // rays traced
  std::optional<SmoothedGrids> smoothed;   // when the options ask for them
};

// The passes of every source position, traced on the run's threads and
// folded in the serial order into model.res (and, when asked for, into the
// smoothed grids). With a work share, this process traces the tasks it is
// handed and the sums are combined with the other processes' at the end.
PassesDone run_passes(Model& model, std::uint64_t positions, unsigned threads,
                      const BlockTracer& block_tracer, const RunOptions& options,
                      Clock::time_point start, const std::string& sheet_name,
                      std::uint64_t sheet_hash) {
  const SystemState& sys = model.sys;
  const RunParams& p = sys.params;
  const std::int64_t per_position = static_cast<std::int64_t>(sys.fan.NRAY) *
                                    std::max(p.NSET, 0);
  PassPlan plan(positions, per_position, slots_per_task(p.NSURF));
  WorkShare* const share = options.share;

  std::unique_ptr<Summation> sums;
  ExactSums* exact = nullptr;
  if (options.exact_sums) {
    auto e = std::make_unique<ExactSums>(p.SELI, p.SELJ);
    exact = e.get();
    sums = std::move(e);
  } else {
    sums = std::make_unique<SerialSums>(p.SELI, p.SELJ);
  }
  Fold fold(model.res, *sums, p.SELI, p.SELJ);
  // Beside the fold, in the same order (never in a shared run: run_sheet
  // refuses that). Only then do the tracers record where each ray landed.
  const bool record_places = options.smoothed_maps;
  std::optional<SmoothedSums> smoothed;
  if (record_places) smoothed.emplace(p.DXY, p.DUV, p.SELI, p.SELJ);

  // A shared run hands out tasks by number, in runs the share decides.
  const std::uint64_t total_tasks = plan.tasks();
  std::uint64_t share_next = 0, share_end = 0;
  std::atomic<std::uint64_t> handed_out{0};  // of all the processes, as far as known here
  if (share != nullptr) {
    if (positions > 0 && per_position > 0 && total_tasks == 0) {
      fail_sheet(sheet_name, "the run's rays cannot be counted in 64 bits, so it cannot be shared "
                             "among processes");
    }
    share->start(ProcessInfo{host_name(), threads, maths_path(block_tracer)}, total_tasks,
                 sheet_hash);
  }
  auto next_task = [&](PassTask& task) {
    if (share == nullptr) return plan.next(task);
    if (share_next == share_end && !share->next_tasks(total_tasks, share_next, share_end)) {
      return false;
    }
    handed_out.store(share_end);
    task = plan.task(share_next++);
    return true;
  };
  std::vector<std::unique_ptr<PassTracer>> tracers(threads);

  // What the fold has reached, read by the progress reports on the calling
  // thread while another thread may be folding.
  std::atomic<std::int64_t> rays_folded{0};
  std::atomic<std::uint64_t> positions_folded{0};
  std::atomic<double> fraction_folded{0};
  auto report_progress = [&] {
    if (!options.on_progress) return;
    RunProgress progress;
    progress.positions_total = static_cast<std::int64_t>(positions);
    progress.positions_done = static_cast<std::int64_t>(positions_folded.load());
    progress.rays_traced = rays_folded.load();
    progress.steps = ray_surface_steps(progress.rays_traced, p.NSURF);
    progress.fraction = fraction_folded.load();
    progress.elapsed_seconds = seconds_since(start);
    if (progress.fraction > 0) {
      progress.seconds_left =
          progress.elapsed_seconds * (1 - progress.fraction) / progress.fraction;
    }
    options.on_progress(progress);
  };

  OrderedRunControl control;
  control.threads = threads;
  control.window = 3 * static_cast<std::size_t>(threads);
  control.cancel = options.cancel;
  control.on_tick = report_progress;
  const bool finished = run_ordered<PassTask, TracedRays>(
      control, next_task,
      [&](const PassTask& task, TracedRays& traced, unsigned thread) {
        std::unique_ptr<PassTracer>& tracer = tracers[thread];
        if (!tracer) tracer = std::make_unique<PassTracer>(sys, block_tracer);
        tracer->trace(task, traced.records, record_places ? &traced.places : nullptr);
      },
      [&](const PassTask& task, TracedRays& traced) {
        fold.add(traced.records);
        if (smoothed) smoothed->add(traced.records, traced.places);
        rays_folded.store(fold.rays());
        if (share == nullptr) {
          positions_folded.store(task.end.position);
          fraction_folded.store(plan.fraction(task.end));
        } else {
          // Tasks handed out to all the processes: near enough for progress.
          const double handed =
              static_cast<double>(handed_out.load()) / static_cast<double>(total_tasks);
          fraction_folded.store(handed);
          positions_folded.store(static_cast<std::uint64_t>(handed * static_cast<double>(positions)));
        }
      });
  if (!finished) fail_cancelled(sheet_name);
  std::int64_t rays = fold.rays();
  if (share != nullptr) {
    std::vector<std::uint8_t> bytes = exact->serialize();
    std::vector<std::int64_t> counts = counts_of(model.res, rays);
    share->combine(bytes, counts);
    exact->deserialize(bytes);
    rays = take_counts(model.res, counts);
  }
  fold.finish();
  fraction_folded.store(1);
  positions_folded.store(positions);
  report_progress();
  PassesDone done;
  done.rays = rays;
  if (smoothed) done.smoothed = smoothed->grids();
  return done;
}

// Everything that writes files: the fan listing, the passes and the report.
void compute_and_write(Model& model, const FanPlan& fan_plan, const OutputNames& output,
                       unsigned threads, const BlockTracer& tracer, const RunOptions& options,
                       Clock::time_point start, const SheetInput& sheet, RunSuccess& summary) {
  const std::string& sheet_name = sheet.name;
  SystemState& sys = model.sys;
  Results& res = model.res;
  const RunParams& p = sys.params;

  // A run held in memory, or a process that shares a run without writing
  // its files, only traces.
  const bool writes =
      !output.none() && (options.share == nullptr || options.share->writes_files());

  // Model -> fan, listed as it is built: the source point it shows is where
  // the previous run ended.
  std::optional<OutputFile> listing;
  if (writes) listing.emplace(output.of(FAN_LISTING_FILE));
  if (!build_fan(sys, fan_plan, model.last_source, listing ? &*listing : nullptr, threads,
                 options.cancel)) {
    fail_cancelled(sheet_name);
  }
  if (listing) listing->close();
  summary.parts.fan = seconds_since(start) - summary.parts.sheet;

  if (options.on_size) options.on_size(run_size(sys));

  // The report exists, empty, from here until it is written at the end.
  res = Results{};
  std::optional<OutputFile> report;
  if (writes) report.emplace(output.of(REPORT_FILE));

  // Fan -> passes -> grids: every scan step, every ring position.
  const std::uint64_t positions =
      p.NSCAN > 0 && p.NRING > 0
          ? static_cast<std::uint64_t>(p.NSCAN) * static_cast<std::uint64_t>(p.NRING)
          : 0;
  if (positions > 0 && writes) OutputFile(output.of(PASS_MARKER_FILE)).close();
  // Processes that share the run check that they all read the same sheet.
  const std::uint64_t sheet_hash =
      options.share != nullptr ? fnv1a(sheet.bytes) : 0;
  const Clock::time_point tracing = Clock::now();
  PassesDone passes =
      run_passes(model, positions, threads, tracer, options, start, sheet_name, sheet_hash);
  summary.totals.rays_traced = passes.rays;
  summary.parts.trace = seconds_since(tracing);
  // The next run's fan listing shows the last ring point of the last scan step.
  if (positions > 0) model.last_source = ring_point(sys, p.NRING - 1);

  // Grids -> report.
  const Clock::time_point reporting = Clock::now();
  if (report) {
    write_report(res, p, *report);
  } else {
    form_totals(res);
  }
  summary.parts.report = seconds_since(reporting);

  RunTotals& t = summary.totals;
  t.total = res.TOTAL;
  t.transmitted = res.TRANS;
  t.ratio = res.RATIO;
  t.fan_rays = sys.fan.NRAY;
  t.source_positions = static_cast<std::int64_t>(positions);
  t.index_sets = std::max(p.NSET, 0);
  t.surfaces = p.NSURF;
  t.steps = ray_surface_steps(t.rays_traced, p.NSURF);
  RunMaps& maps = summary.maps;
  maps.IXY = res.IXY;
  maps.IUV = res.IUV;
  maps.IUV_P = res.IUV_P;
  maps.IXY_rays = res.IXY_rays;
  maps.IUV_rays = res.IUV_rays;
  maps.IUV_P_rays = res.IUV_P_rays;
  maps.DXY = p.DXY;
  maps.DUV = p.DUV;
  maps.SELI = p.SELI;
  maps.SELJ = p.SELJ;
  maps.smoothed = std::move(passes.smoothed);
  if (options.share != nullptr) {
    summary.processes = options.share->processes();
    for (const ProcessInfo& other : summary.processes) {
      if (other.maths == summary.processes.front().maths) continue;
      summary.warnings.push_back("the processes run different maths code (" +
                                 summary.processes.front().maths + " and " + other.maths +
                                 "): a ray may differ in its last bits between them, so the files "
                                 "may depend on how the work was split");
      break;
    }
  }
}

}  // namespace

FanPlan load_sheet(Model& model, const SheetInput& sheet, std::vector<std::string>& warnings) {
  if (sheet.bytes.size() > MAX_SHEET_BYTES) {
    fail_sheet(sheet.name, "the sheet is larger than " + std::to_string(MAX_SHEET_BYTES / (1024 * 1024)) +
                               " MiB; a sheet is a few kilobytes, so this is not one");
  }
  model.sys.PI = RUN_PI;
  read_sheet(SheetCells::parse(sheet.bytes), model.sys, warnings);
  FanPlan fan_plan = plan_fan(model.sys.params, MAX_FAN_RAYS);
  if (fan_plan.too_many_cones) {
    fail_sheet_cell(sheet.name, NTH_COLUMN, NTH_ROW,
                    "NTH = " + std::to_string(model.sys.params.NTH) + " makes a fan of more than " +
                        std::to_string(MAX_FAN_CONES) + " cones; refused");
  }
  if (fan_plan.rays > MAX_FAN_RAYS) refuse_oversized_fan(model.sys.params, sheet.name);
  return fan_plan;
}

FanPlan load_sheet(Model& model, const std::filesystem::path& sheet,
                   std::vector<std::string>& warnings) {
  const std::string bytes = read_sheet_bytes(sheet, MAX_SHEET_BYTES);
  return load_sheet(model, SheetInput{bytes, display(sheet)}, warnings);
}

unsigned resolve_threads(unsigned requested) {
  const unsigned threads = requested > 0 ? requested : available_cpus();
  return std::clamp(threads, 1u, MAX_THREADS);
}

RunSuccess run_sheet(Model& model, const SheetInput& sheet, const OutputNames& output,
                     const RunOptions& options, const BlockTracer& tracer) {
  const Clock::time_point start = Clock::now();
  RunSuccess summary;
  const std::string& sheet_name = sheet.name;

  // Sheet -> model. Everything that can refuse the sheet happens before the
  // first file is written, and a refused sheet leaves the folder alone.
  const FanPlan fan_plan = load_sheet(model, sheet, summary.warnings);
  summary.parts.sheet = seconds_since(start);
  if (options.share != nullptr && options.smoothed_maps) {
    // The processes combine exact sums of the plain grids only: the
    // smoothed ones would hold this process's share of the rays alone.
    fail_output(sheet_name, "smoothed maps are not available in a run shared among processes");
  }
  if (options.share != nullptr && !options.exact_sums) {
    // Sums of different processes added together round differently for
    // every split; only exact sums are the same however the work is shared.
    fail_output(sheet_name, "a run shared among processes needs exact sums (--exact-sums)");
  }
  if (!output.none() && (options.share == nullptr || options.share->writes_files())) {
    require_output_folder(output.dir);
  }
  summary.threads = resolve_threads(options.threads);
  const bool fast = tracer.trace != trace_block_exact;
  summary.mode = fast ? "fast" : "exact";
  summary.simd = fast ? tracer.simd : "";
  summary.sums = options.exact_sums ? "exact" : "serial";

  try {
    compute_and_write(model, fan_plan, output, summary.threads, tracer, options, start, sheet,
                      summary);
  } catch (...) {
    // In place, no earlier report may pass for this run's; under temporary
    // names the caller drops the whole set.
    if (!output.none() && output.in_place()) empty_file(output.dir / REPORT_FILE, false);
    throw;
  }
  summary.elapsed_seconds = seconds_since(start);
  return summary;
}

namespace {

template <typename Run>
RunResult without_exceptions(const std::string& sheet_name, Run&& run) {
  try {
    return run();
  } catch (const RunError& e) {
    return e.failure();
  } catch (const std::bad_alloc&) {
    return RunFailure{FailureKind::Output, sheet_name, 0, 0, "out of memory"};
  } catch (const std::exception& e) {
    return RunFailure{FailureKind::Output, sheet_name, 0, 0, e.what()};
  } catch (...) {
    return RunFailure{FailureKind::Output, sheet_name, 0, 0, "an unexpected failure"};
  }
}

}  // namespace

RunResult run_sheet_result(Model& model, const SheetInput& sheet, const OutputNames& output,
                           const RunOptions& options, const BlockTracer& tracer) {
  return without_exceptions(sheet.name, [&] { return run_sheet(model, sheet, output, options, tracer); });
}

RunResult run_sheet_result(Model& model, const std::filesystem::path& sheet,
                           const OutputNames& output, const RunOptions& options,
                           const BlockTracer& tracer) {
  const std::string name = display(sheet);
  return without_exceptions(name, [&] {
    const std::string bytes = read_sheet_bytes(sheet, MAX_SHEET_BYTES);
    return run_sheet(model, SheetInput{bytes, name}, output, options, tracer);
  });
}

const char* version() { return VARNOCK_VERSION; }

}  // namespace varnock
