#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "support/files.h"
#include "exit_codes.h"
#include "study_commands.h"
#include "study_run.h"

namespace varnock_cli {
namespace {

struct MergeArguments {
  std::vector<std::string> folders;
  std::string output_dir;
  bool quiet = false;
};

int merge(const MergeArguments& args) {
  std::vector<std::filesystem::path> folders;
  for (const std::string& folder : args.folders) folders.push_back(varnock::utf8_path(folder));
  const std::filesystem::path output = args.output_dir.empty() ? folders.front() : varnock::utf8_path(args.output_dir);
  varnock::StudyResult result;
  try {
    result = varnock::merge_studies(folders, output);
  } catch (const std::invalid_argument& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  } catch (const std::exception& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_FAILED;
  }
  if (result.failed > 0) {
    std::cerr << "varnock: " << result.failed << " of " << result.points << " points failed; " << result.kind
              << ".csv says which and why\n";
  }
  if (!args.quiet) print_study_summary(result, output);
  return result.failed > 0 ? EXIT_FAILED : EXIT_OK;
}

}  // namespace

void add_merge_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<MergeArguments>();
  CLI::App* cmd = app.add_subcommand(
      "merge",
      "Join the folders of a study's shares (--task K --tasks N), or of a study resumed "
      "elsewhere, into the CSV and report the whole study would have written.");
  cmd->add_option("DIR", args->folders, "Study folders")->required()->check(CLI::Validator(
      [](const std::string& folder) {
        // Checked by its UTF-8 name: CLI11's own check reads it in the ANSI
        // code page on Windows.
        std::error_code ec;
        return std::filesystem::is_directory(varnock::utf8_path(folder), ec)
                   ? std::string() : "Directory does not exist: " + folder;
      },
      "DIR", "existing folder"));
  cmd->add_option("-o,--output", args->output_dir, "Folder of the joined study (default: the first DIR)");
  cmd->add_flag("-q,--quiet", args->quiet, "Print nothing but failures");
  cmd->callback([args, &exit_code] { exit_code = merge(*args); });
}

}  // namespace varnock_cli
