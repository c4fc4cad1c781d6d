#include "study/study_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "run/run_driver.h"
#include "study/point_record.h"
#include "study/point_store.h"
#include "study/study_folder.h"
#include "varnock/sheet.h"

namespace varnock {
namespace {

using Clock = std::chrono::steady_clock;

// Ray-surface steps from which a point counts as large: about a second on
// one core.
constexpr std::int64_t LARGE_POINT_STEPS = 5'000'000;

// The point's record, or nothing when the study was asked to stop.
std::optional<PointRecord> run_point(const StudyDefinition& d, std::int64_t index,
                                     const std::filesystem::path& dir, const StudyOptions& options,
                                     unsigned threads, std::atomic<std::int64_t>* steps) {
  const Sheet sheet = Sheet::from_bytes(d.sheet(index), SHEET_FILE);
  RunOptions run_options;
  run_options.threads = threads;
  run_options.fast = d.fast;
  run_options.simd = d.simd;
  run_options.exact_sums = d.exact_sums;
  run_options.cancel = options.cancel;
  run_options.write_report_page = options.keep_runs;
  run_options.write_run_record = options.keep_runs;
  if (steps) run_options.on_size = [steps](const RunSize& size) { *steps = size.steps; };
  // A fresh model: the point's results are a first run's. Only kept runs
  // write files, the point's sheet among them.
  const RunResult result = [&] {
    if (!options.keep_runs) return run(sheet, run_options);
    std::filesystem::create_directories(dir);
    sheet.write(dir / SHEET_FILE);
    return run(sheet, run_options, dir);
  }();
  return point_record(index, d.texts(index), d.values(index), result);
}

}  // namespace

StudyResult run_study(const StudyDefinition& d, const StudyOptions& options) {
  const Clock::time_point start = Clock::now();
  const std::filesystem::path& folder = options.folder;
  create_points_folder(folder);
  StudyResult result;
  result.kind = d.kind_name();
  result.sheet_name = d.sheet_name;
  result.points = d.points();
  if (options.tasks < 1 || options.task < 0 || options.task >= options.tasks) {
    throw std::invalid_argument("task " + std::to_string(options.task) + " is not one of " +
                                std::to_string(options.tasks) + " shares");
  }
  if (holds_study(folder, d) && !options.resume) {
    bool removed = false;
    for (const auto& [index, text] : records_in(folder)) {
      if (index % options.tasks != options.task) continue;
      remove_point(folder, index);
      removed = true;
    }
    if (removed) {
      result.notes.push_back("the folder held this study already; it starts afresh (--resume keeps what was done)");
    }
  }
  write_study_file(folder, d.json());
  remove_leftovers(folder);

  std::vector<std::int64_t> pending;
  const std::map<std::int64_t, std::string> done = records_in(folder);
  for (std::int64_t i = options.task; i < result.points; i += options.tasks) {
    if (!done.count(i)) pending.push_back(i);
  }

  // How the points share the threads. The first point runs alone on all of
  // them and its size decides for the rest: small points run side by side,
  // one thread each (a run's own threads gain little on a small run), large
  // ones one after another on all threads (a large run's threads are nearly
  // all gain, and no core idles while the last point finishes alone).
  const unsigned cpus = resolve_threads(options.threads);
  std::atomic<std::int64_t> first_steps{0};
  std::atomic<std::size_t> next{0};
  std::atomic<std::int64_t> finished{0};
  std::atomic<bool> stopped{false};
  std::mutex progress_mutex;
  std::exception_ptr failure;
  auto work = [&](unsigned threads, std::size_t until) {
    try {
      for (std::size_t k; (k = next++) < until;) {
        if (stopped || (options.cancel && options.cancel->load())) {
          stopped = true;
          break;
        }
        const std::int64_t index = pending[k];
        char name[32];
        std::snprintf(name, sizeof name, "%06lld", static_cast<long long>(index));
        const std::filesystem::path dir = options.keep_runs ? folder / "runs" / name : std::filesystem::path();
        const std::optional<PointRecord> r =
            run_point(d, index, dir, options, threads, k == 0 ? &first_steps : nullptr);
        if (!r) {
          stopped = true;
          break;
        }
        write_point(folder, index, r->json());
        const std::int64_t n = ++finished;
        if (options.on_progress) {
          std::lock_guard<std::mutex> lock(progress_mutex);
          options.on_progress(n, static_cast<std::int64_t>(pending.size()),
                              std::chrono::duration<double>(Clock::now() - start).count());
        }
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(progress_mutex);
      if (!failure) failure = std::current_exception();
      stopped = true;
    }
  };
  if (!pending.empty()) work(cpus, 1);
  next = 1;  // the first point's worker counted past it
  if (!failure && !stopped && pending.size() > 1) {
    const bool large = first_steps.load() >= LARGE_POINT_STEPS;
    const unsigned workers =
        large ? 1u : static_cast<unsigned>(std::min<std::size_t>(cpus, pending.size() - 1));
    const unsigned threads_each = std::max(1u, cpus / workers);
    std::vector<std::thread> helpers;
    for (unsigned w = 1; w < workers; ++w) helpers.emplace_back(work, threads_each, pending.size());
    work(threads_each, pending.size());
    for (std::thread& t : helpers) t.join();
  }
  if (failure) std::rethrow_exception(failure);
  result.run_now = finished;
  result.cancelled = stopped && finished < static_cast<std::int64_t>(pending.size());
  if (!options.write_outputs) return result;
  const StudyResult finished_study =
      finish_study(d, folder, std::chrono::duration<double>(Clock::now() - start).count(), cpus);
  result.failed = finished_study.failed;
  result.complete = finished_study.complete;
  return result;
}

}  // namespace varnock
