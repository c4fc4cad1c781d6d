#include "support/files.h"
#include "study_run.h"


#include <atomic>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>

#include "exit_codes.h"
#include "platform/platform.h"
#include "progress.h"
#include "run/run_driver.h"
#include "study_share.h"
#include "support/run_error.h"
#include "text_format.h"

namespace varnock_cli {
namespace {

// Ctrl-C or a termination request stops the study after the points that are
// running: every finished point is kept, and --resume goes on from there.
std::atomic<bool> stop_requested{false};

bool stopped_by_termination() {
  return varnock::platform::last_stop_request() == varnock::platform::StopKind::terminate;
}

// A study of more than LARGE_STUDY_POINTS points runs when --yes says so or
// the person at the terminal does; with no terminal to ask, it is refused.
// A shared study never asks: its ranks must all decide alike.
bool large_study_confirmed(std::int64_t points, bool yes, bool shared, std::ostream& say) {
  if (points <= LARGE_STUDY_POINTS || yes) return true;
  const std::string what = "the study has " + with_separators(points) + " points (more than " +
                           with_separators(LARGE_STUDY_POINTS) + ")";
  if (shared || !varnock::platform::stdin_is_terminal() || !varnock::platform::stderr_is_terminal()) {
    say << "varnock: " << what << "; run it with --yes\n";
    return false;
  }
  std::cerr << "varnock: " << what << ". Run them all? [y/N] " << std::flush;
  std::string answer;
  std::getline(std::cin, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

std::filesystem::path default_folder(const std::string& sheet, const char* kind) {
  const std::filesystem::path p = varnock::utf8_path(sheet);
  return p.parent_path() / varnock::utf8_path(varnock::display(p.stem()) + "." + kind);
}

}  // namespace

void add_study_options(CLI::App& cmd, StudyArguments& args) {
  cmd.add_option("-o,--output", args.output_dir,
                 "Folder of the study (default: NAME.sweep or NAME.trials beside the sheet)");
  cmd.add_option("-t,--threads", args.threads,
                 "Threads in all, shared between points that run side by side and within them; "
                 "0 (the default) uses every CPU this process may run on")
      ->check(CLI::Range(0u, 256u));
  CLI::Option* fast = cmd.add_flag("--fast", args.fast, "Run every point in fast mode");
  cmd.add_option("--simd", args.simd, "Instruction set of --fast: auto, avx512, avx2 or sse2")
      ->check(CLI::IsMember({"auto", "avx512", "avx2", "sse2"}))
      ->needs(fast);
  cmd.add_flag("--exact-sums", args.exact_sums,
               "Sum every point's TOTAL and grid cells exactly, rounded once (see varnock run --help)");
  cmd.add_flag("--keep-runs", args.keep_runs,
               "Keep each point's sheet, files, run.json and report in runs/NNNNNN/ of the folder");
  cmd.add_flag("--resume", args.resume,
               "Keep the points the folder's study has finished and run only the rest");
  CLI::Option* task = cmd.add_option("--task", args.task, "Run only share K (from 0) of the points")
                          ->check(CLI::NonNegativeNumber);
  CLI::Option* tasks = cmd.add_option("--tasks", args.tasks,
                                      "Shares the points are split into (point i is share i mod N); "
                                      "varnock merge joins the shares' folders")
                           ->check(CLI::Range(std::int64_t{1}, std::int64_t{1'000'000}));
  task->needs(tasks);
  tasks->needs(task);
  cmd.add_flag("-y,--yes", args.yes,
               "Run a study of more than 100,000 points without asking");
  cmd.add_flag("-q,--quiet", args.quiet, "Print nothing but warnings and failures");
  cmd.add_flag("--no-progress", args.no_progress, "Do not show progress on the terminal");
}

void print_study_summary(const varnock::StudyResult& result, const std::filesystem::path& folder) {
  const std::string& kind = result.kind;
  std::cout << kind << " of " << result.sheet_name << ": "
            << with_separators(result.points) << " points";
  if (result.failed > 0) std::cout << ", " << with_separators(result.failed) << " failed";
  std::cout << "\n";
  if (result.complete) {
    std::cout << "table             " << varnock::display(folder / (kind + ".csv")) << "\n"
              << "report            " << varnock::display(folder / (kind + ".html")) << "\n";
  } else {
    std::cout << "folder            " << varnock::display(folder) << " (ran " << with_separators(result.run_now)
              << " points; the other shares' folders join it with varnock merge)\n";
  }
}

int run_study_command(const StudyArguments& args, const char* kind,
                      const std::function<varnock::StudyDefinition(std::vector<std::string>&)>& define) {
  // Under mpirun every rank runs the command and takes its share of the
  // points; rank 0 alone says what every rank would say.
  const StudyShare share = StudyShare::of_job();
  std::ostream quiet(nullptr);
  std::ostream& say = share.rank == 0 ? std::cerr : quiet;
  if (share.shared() && (args.tasks != 1 || args.task != 0)) {
    say << "varnock: --task and --tasks split a study among separate runs; under mpirun the ranks "
           "share it already: give one or the other\n";
    return EXIT_BAD_INPUT;
  }
  if (args.task >= args.tasks) {
    std::cerr << "varnock: --task " << args.task << " is not a share of --tasks " << args.tasks
              << " (from 0 to " << args.tasks - 1 << ")\n";
    return EXIT_BAD_INPUT;
  }
  std::vector<std::string> warnings;
  varnock::StudyDefinition definition;
  try {
    definition = define(warnings);
  } catch (const varnock::RunError& e) {
    say << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  } catch (const std::invalid_argument& e) {
    say << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  }
  for (const std::string& w : warnings) say << "varnock: warning: " << args.sheet << ": " << w << '\n';
  if (!large_study_confirmed(definition.points(), args.yes, share.shared(), say)) return EXIT_BAD_INPUT;

  const std::filesystem::path folder =
      args.output_dir.empty() ? default_folder(args.sheet, kind) : varnock::utf8_path(args.output_dir);
  ProgressLine progress(share.rank == 0 && !args.no_progress && !args.quiet &&
                        varnock::platform::stderr_is_terminal());
  varnock::StudyOptions options;
  options.folder = folder;
  options.threads = args.threads;
  definition.fast = args.fast;
  for (varnock::SimdPath path : {varnock::SimdPath::Auto, varnock::SimdPath::Avx512,
                                 varnock::SimdPath::Avx2, varnock::SimdPath::Sse2}) {
    if (args.simd == varnock::simd_path_name(path)) definition.simd = path;
  }
  definition.exact_sums = args.exact_sums;
  options.keep_runs = args.keep_runs;
  options.resume = args.resume;
  options.task = share.shared() ? share.rank : args.task;
  options.tasks = share.shared() ? share.size : args.tasks;
  options.write_outputs = !share.shared();
  options.cancel = &stop_requested;
  options.on_progress = [&](std::int64_t done, std::int64_t total, double elapsed) {
    std::string line = std::string(kind) + ": " + std::to_string(done) + " of " + std::to_string(total) +
                       " points";
    if (done < total && elapsed > 0) {
      line += "  about " + duration_text(elapsed / static_cast<double>(done) * static_cast<double>(total - done)) +
              " left";
    }
    progress.show(line);
  };

  std::optional<varnock::platform::StopRequests> stops(std::in_place, stop_requested);
  const auto start = std::chrono::steady_clock::now();
  varnock::StudyResult result;
  int code = EXIT_OK;
  try {
    result = varnock::run_study(definition, options);
  } catch (const std::invalid_argument& e) {  // the task split, a folder that holds another study
    progress.clear();
    say << "varnock: " << e.what() << '\n';
    code = EXIT_BAD_INPUT;
  } catch (const std::exception& e) {
    progress.clear();
    std::cerr << "varnock: " << share.who() << e.what() << '\n';
    code = EXIT_FAILED;
  }
  stops.reset();
  progress.clear();
  if (result.cancelled) code = stopped_by_termination() ? EXIT_TERMINATED : EXIT_INTERRUPTED;
  if (share.shared()) {
    // Every rank's share is done (or stopped): rank 0 writes the CSV and
    // the report if every point is there.
    code = share.settle(code, result.run_now);
    if (share.rank != 0) return code;
    if (code == EXIT_OK) {
      const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const unsigned threads = varnock::resolve_threads(options.threads) * static_cast<unsigned>(share.size);
      const varnock::StudyResult all = varnock::finish_study(definition, folder, elapsed, threads);
      result.failed = all.failed;
      result.complete = all.complete;
    } else {
      result.cancelled = code == EXIT_INTERRUPTED || code == EXIT_TERMINATED;
    }
  }
  if (code != EXIT_OK && !result.cancelled) return code;
  for (const std::string& n : result.notes) std::cerr << "varnock: note: " << n << '\n';
  if (result.cancelled) {
    const bool term = code == EXIT_TERMINATED;
    std::cerr << "varnock: stopped by " << (term ? "a termination request" : "Ctrl-C") << " after "
              << with_separators(result.run_now) << " points; --resume goes on from there\n";
    return term ? EXIT_TERMINATED : EXIT_INTERRUPTED;
  }
  if (result.failed > 0) {
    std::cerr << "varnock: " << with_separators(result.failed) << " of " << with_separators(result.points)
              << " points failed; "
              << (result.complete ? std::string(kind) + ".csv says which and why"
                                  : std::string("their records in points/ say why"))
              << '\n';
  }
  if (!args.quiet) print_study_summary(result, folder);
  return result.failed > 0 ? EXIT_FAILED : EXIT_OK;
}

}  // namespace varnock_cli
