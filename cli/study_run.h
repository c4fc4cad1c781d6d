// What varnock sweep and varnock trials share: the options that run a study
// (output folder, threads, fast, resume, the task split, --yes) and the run
// itself, with progress over the whole study and the exit code.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "study/study.h"

namespace varnock_cli {

struct StudyArguments {
  std::string sheet;
  std::string output_dir;  // default: NAME.sweep (NAME.trials) beside the sheet
  unsigned threads = 0;
  bool fast = false;
  std::string simd = "auto";
  bool exact_sums = false;
  bool keep_runs = false;
  bool resume = false;
  std::int64_t task = 0, tasks = 1;
  bool yes = false;
  bool quiet = false;
  bool no_progress = false;
};

// Past this many points a study asks first (--yes answers for it).
inline constexpr std::int64_t LARGE_STUDY_POINTS = 100'000;

void add_study_options(CLI::App& cmd, StudyArguments& args);

// Defines the study (define throws RunError for a refused sheet and
// std::invalid_argument for a bad cell or value: both exit 2), runs it and
// reports. kind is "sweep" or "trials".
int run_study_command(const StudyArguments& args, const char* kind,
                      const std::function<varnock::StudyDefinition(std::vector<std::string>&)>& define);

// The summary of a finished (or partly finished) study on stdout.
void print_study_summary(const varnock::StudyResult& result, const std::filesystem::path& folder);

}  // namespace varnock_cli
