// varnock: the command-line tool. `varnock run SHEET [-o DIR]` runs one
// input sheet and writes OUT_MI.txt, OUT_MR.txt and OUT_M.txt.
//
// Exit codes: 0 success, 2 bad usage or a bad sheet, 1 any other failure.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "summary.h"
#include "varnock/varnock.h"

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILURE_OTHER = 1;
constexpr int EXIT_BAD_INPUT = 2;

// A one-line progress count on the terminal, redrawn in place; nothing when
// stderr is a file or a pipe.
class Progress {
 public:
  explicit Progress(bool enabled) : enabled_(enabled) {}
  void update(std::int64_t done, std::int64_t total) {
    if (!enabled_) return;
    const int percent = static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total));
    if (percent == last_percent_ && done != total) return;
    last_percent_ = percent;
    std::fprintf(stderr, "\rtracing: %lld of %lld source positions (%d%%)",
                 static_cast<long long>(done), static_cast<long long>(total), percent);
    if (done == total) std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }

 private:
  bool enabled_;
  int last_percent_ = -1;
};

int run_command(const std::string& sheet_arg, const std::string& output_arg, bool quiet,
                bool show_progress) {
  const std::filesystem::path sheet(sheet_arg);
  std::filesystem::path output_dir(output_arg);
  if (output_arg.empty()) {
    output_dir = sheet.parent_path();
    if (output_dir.empty()) output_dir = ".";
  }

  Progress progress(show_progress && !quiet && isatty(STDERR_FILENO));
  varnock::RunOptions options;
  options.on_progress = [&](std::int64_t done, std::int64_t total) { progress.update(done, total); };

  varnock::Session session;
  const varnock::RunResult result = session.run(sheet, output_dir, options);
  if (!result.ok()) {
    const varnock::RunFailure& f = result.failure();
    std::cerr << "varnock: " << f.describe() << '\n';
    return f.kind == varnock::FailureKind::Sheet ? EXIT_BAD_INPUT : EXIT_FAILURE_OTHER;
  }
  for (const std::string& w : result.success().warnings) {
    std::cerr << "varnock: warning: " << sheet.string() << ": " << w << '\n';
  }
  if (!quiet) std::cout << varnock_cli::format_summary(sheet, output_dir, result.success());
  return EXIT_OK;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Varnock traces the light of a ring source through a coaxial system of lenses,\n"
      "mirrors, lens arrays and stops, and maps where it lands and where it heads."};
  app.name("varnock");
  app.set_version_flag("--version", std::string("varnock ") + varnock::version());
  app.require_subcommand(1);

  std::string sheet;
  std::string output_dir;
  bool quiet = false;
  bool no_progress = false;
  CLI::App* run = app.add_subcommand(
      "run",
      "Run one input sheet and write OUT_MI.txt (fan listing), OUT_MR.txt and OUT_M.txt "
      "(report) into the output folder.");
  run->add_option("SHEET", sheet, "Input sheet: tab-separated text as the front end writes it")
      ->required();
  run->add_option("-o,--output", output_dir,
                  "Folder for the result files (default: the folder that holds SHEET)");
  run->add_flag("-q,--quiet", quiet, "Print nothing on success");
  run->add_flag("--no-progress", no_progress, "Do not show progress on the terminal");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "varnock: " << e.what() << "\nRun 'varnock --help' for usage.\n";
    return EXIT_BAD_INPUT;
  }

  try {
    return run_command(sheet, output_dir, quiet, !no_progress);
  } catch (const std::exception& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_FAILURE_OTHER;
  }
}
