#include <memory>
#include <string>
#include <vector>

#include "support/files.h"
#include "cell_assignments.h"
#include "study_commands.h"
#include "study_run.h"

namespace varnock_cli {
namespace {

struct TrialsArguments {
  StudyArguments study;
  std::vector<std::string> jitters;
  std::int64_t trials = 0;
  std::uint64_t seed = 1;
};

}  // namespace

void add_trials_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<TrialsArguments>();
  CLI::App* cmd = app.add_subcommand(
      "trials",
      "Monte-Carlo tolerancing: run the sheet as it is (trial 0) and N times with some cells "
      "drawn about their values, and write trials.csv (the drawn values, totals and statistics "
      "of every trial) and trials.html (their distributions and correlations).");
  cmd->add_option("SHEET", args->study.sheet, "Input sheet")->required();
  cmd->add_option("--jitter", args->jitters,
                  "CELL=SPEC: CELL as C7 or a value's name (TH2, CV3, DX1); SPEC normal:SIGMA or "
                  "uniform:HALFWIDTH about the sheet's value")
      ->required()
      ->take_all();
  cmd->add_option("-n,--trials", args->trials, "Trials drawn beside the nominal trial 0")->required();
  cmd->add_option("--seed", args->seed,
                  "Seed of the draws (default 1): trial k draws the same values for a seed "
                  "however the trials are run or split");
  add_study_options(*cmd, args->study);
  cmd->callback([args, &exit_code] {
    exit_code = run_study_command(args->study, "trials", [&](std::vector<std::string>& warnings) {
      return varnock::trials_definition(varnock::utf8_path(args->study.sheet), cell_assignments(args->jitters, "--jitter", "SPEC"),
                                        args->trials, args->seed, warnings);
    });
  });
}

}  // namespace varnock_cli
