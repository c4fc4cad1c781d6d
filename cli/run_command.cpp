#include "support/files.h"
#include "run_command.h"


#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "api/run_record.h"
#include "exit_codes.h"
#include "figure_option.h"
#include "platform/platform.h"
#include "progress.h"
#ifdef VARNOCK_WITH_MPI
#include "run_shared.h"
#endif
#include "summary.h"
#include "text_format.h"
#include "varnock/varnock.h"

namespace varnock_cli {
namespace {

// Past either, varnock run says up front how much work a run is.
constexpr std::int64_t LARGE_RUN_POSITIONS = 10'000'000;
constexpr std::int64_t LARGE_RUN_STEPS = 100'000'000'000;

struct RunArguments {
  std::string sheet;
  std::string output_dir;
  unsigned threads = 0;
  bool fast = false;
  std::string simd = "auto";
  bool exact_sums = false;
  bool quiet = false;
  bool no_progress = false;
  bool no_report = false;
  std::string figures;
  bool csv = false;
  bool json = false;
};

// Ctrl-C or a termination request stops the run between two tasks.
// The run's files are replaced as a set, so a stop never splits one: the
// handler only asks the run to stop, which it does between two tasks (or
// not at all once it is moving its finished files into place).
std::atomic<bool> stop_requested{false};

bool stopped_by_termination() {
  return varnock::platform::last_stop_request() == varnock::platform::StopKind::terminate;
}

int exit_code_of(const varnock::RunFailure& f) {
  switch (f.kind) {
    case varnock::FailureKind::Sheet: return EXIT_BAD_INPUT;
    case varnock::FailureKind::Unsupported: return EXIT_BAD_INPUT;
    case varnock::FailureKind::Cancelled:
      return stopped_by_termination() ? EXIT_TERMINATED : EXIT_INTERRUPTED;
    case varnock::FailureKind::Output: return EXIT_FAILED;
  }
  return EXIT_FAILED;
}

int report_outcome(const RunArguments& args, const std::filesystem::path& sheet,
                   const std::filesystem::path& output_dir, const varnock::RunResult& result);

int run(const RunArguments& args) {
  const std::filesystem::path sheet = varnock::utf8_path(args.sheet);
  std::filesystem::path output_dir = varnock::utf8_path(args.output_dir);
  if (args.output_dir.empty()) {
    output_dir = sheet.parent_path();
    if (output_dir.empty()) output_dir = ".";
  }

  ProgressLine progress(!args.no_progress && !args.quiet && varnock::platform::stderr_is_terminal());
  varnock::RunOptions options;
  options.threads = args.threads;
  options.fast = args.fast;
  options.exact_sums = args.exact_sums;
  for (varnock::SimdPath path : {varnock::SimdPath::Auto, varnock::SimdPath::Avx512,
                                 varnock::SimdPath::Avx2, varnock::SimdPath::Sse2}) {
    if (args.simd == varnock::simd_path_name(path)) options.simd = path;
  }
  options.write_run_record = true;
  options.write_report_page = !args.no_report;
  options.figures = figure_format(args.figures);
  options.write_csv = args.csv;
  options.cancel = &stop_requested;
  options.on_progress = [&](const varnock::RunProgress& p) { progress.update(p); };
  // A huge run still runs, but says up front how much work it is.
  options.on_size = [&](const varnock::RunSize& size) {
    if (size.source_positions <= LARGE_RUN_POSITIONS && size.steps <= LARGE_RUN_STEPS) return;
    progress.clear();
    std::cerr << "varnock: a large run: " << with_separators(size.source_positions)
              << " source positions, " << (size.estimated ? "about " : "")
              << with_separators(size.steps) << " ray-surface steps (some "
              << general(static_cast<double>(size.steps) / 1e7) << " core-seconds at 10 million a second); "
              << "Ctrl-C stops it\n";
  };

  std::optional<varnock::platform::StopRequests> stops(std::in_place, stop_requested);
#ifdef VARNOCK_WITH_MPI
  // Under mpirun every rank runs this command; only rank 0 goes on past
  // here, and writes the files.
  SharedRun shared;
  if (const std::optional<int> done = shared.join(sheet, options, exit_code_of)) return *done;
#endif
  varnock::Session session;
  const varnock::RunResult result = session.run(sheet, output_dir, options);
  stops.reset();
  progress.clear();
  const int code = report_outcome(args, sheet, output_dir, result);
#ifdef VARNOCK_WITH_MPI
  shared.end(code);
#endif
  return code;
}

// Prints what became of the run and returns the exit status.
int report_outcome(const RunArguments& args, const std::filesystem::path& sheet,
                   const std::filesystem::path& output_dir, const varnock::RunResult& result) {
  if (!result.ok()) {
    const varnock::RunFailure& f = result.failure();
    if (f.kind == varnock::FailureKind::Cancelled) {
      const bool term = stopped_by_termination();
      std::cerr << "varnock: stopped by " << (term ? "a termination request" : "Ctrl-C")
                << "; the results in " << varnock::display(output_dir) << " are those of the previous run\n";
    } else {
      std::cerr << "varnock: " << f.describe() << '\n';
    }
    return exit_code_of(f);
  }
  for (const std::string& w : result.success().warnings) {
    std::cerr << "varnock: warning: " << varnock::display(sheet) << ": " << w << '\n';
  }
  for (const std::string& n : result.success().notes) std::cerr << "varnock: note: " << n << '\n';
  if (args.json) {
    std::cout << varnock::run_record_text(sheet, output_dir, result.success());
  } else if (!args.quiet) {
    std::cout << format_summary(sheet, output_dir, result.success());
    if (!args.no_report) std::cout << "report            " << varnock::display(output_dir / "report.html") << "\n";
  }
  return EXIT_OK;
}

}  // namespace

void add_run_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<RunArguments>();
  CLI::App* cmd = app.add_subcommand(
      "run",
      "Run one input sheet and write OUT_MI.txt (fan listing), OUT_MR.txt, OUT_M.txt (report) "
      "and run.json (a record of the run) into the output folder.");
  cmd->add_option("SHEET", args->sheet, "Input sheet: tab-separated text as the front end writes it")
      ->required();
  cmd->add_option("-o,--output", args->output_dir,
                  "Folder for the result files (default: the folder that holds SHEET)");
  cmd->add_option("-t,--threads", args->threads,
                  "Threads that trace; 0 (the default) uses every CPU this process may run on. "
                  "The files are the same for every count.")
      ->check(CLI::Range(0u, 256u));
  CLI::Option* fast = cmd->add_flag(
      "--fast", args->fast,
      "Trace vectors of rays without trigonometry (some 30 times faster; the files are nearly "
      "always the same bytes as without it, TOTAL always, the grids within a ray or two)");
  cmd->add_option("--simd", args->simd,
                  "Instruction set of --fast: auto (the widest this processor has), avx512, "
                  "avx2 or sse2; all give the same bytes")
      ->check(CLI::IsMember({"auto", "avx512", "avx2", "sse2"}))
      ->needs(fast);
  cmd->add_flag("--exact-sums", args->exact_sums,
                "Sum TOTAL and every grid cell exactly and round once: the correctly rounded sums, "
                "the same bytes however the work is split (threads, MPI ranks), but not the "
                "legacy running sums' last bits");
  cmd->add_flag("--no-report", args->no_report,
                "Do not write report.html (and remove an earlier one from the folder)");
  add_figure_option(*cmd, args->figures);
  cmd->add_flag("--csv", args->csv, "Also write the grids as IXY.csv, IUV.csv and IUV_P.csv");
  cmd->add_flag("--json", args->json,
                "Print the summary as one JSON object (the contents of run.json) instead");
  cmd->add_flag("-q,--quiet", args->quiet, "Print nothing on success");
  cmd->add_flag("--no-progress", args->no_progress, "Do not show progress on the terminal");
  cmd->callback([args, &exit_code] { exit_code = run(*args); });
}

}  // namespace varnock_cli
