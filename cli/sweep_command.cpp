#include <memory>
#include <string>
#include <vector>

#include "support/files.h"
#include "cell_assignments.h"
#include "study_commands.h"
#include "study_run.h"

namespace varnock_cli {
namespace {

struct SweepArguments {
  StudyArguments study;
  std::vector<std::string> sets;
  bool zip = false;
};

}  // namespace

void add_sweep_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<SweepArguments>();
  CLI::App* cmd = app.add_subcommand(
      "sweep",
      "Run the sheet once for every value (or combination of values) given to some of its cells, "
      "and write sweep.csv (one row a point: the values, totals and the maps' statistics) and "
      "sweep.html (each quantity against the values, and the points' IXY maps).");
  cmd->add_option("SHEET", args->study.sheet, "Input sheet")->required();
  cmd->add_option("--set", args->sets,
                  "CELL=VALUES: CELL as C7 or a value's name (RSRC, TH0, CV3, RN2.3); VALUES as "
                  "FROM:TO:COUNT, a comma list, or @FILE with one value a line. Several --set "
                  "span the grid of all combinations")
      ->required()
      ->take_all();
  cmd->add_flag("--zip", args->zip, "Pair the values of the --set options one by one instead");
  add_study_options(*cmd, args->study);
  cmd->callback([args, &exit_code] {
    exit_code = run_study_command(args->study, "sweep", [&](std::vector<std::string>& warnings) {
      return varnock::sweep_definition(varnock::utf8_path(args->study.sheet), cell_assignments(args->sets, "--set", "VALUES"),
                                       args->zip, warnings);
    });
  });
}

}  // namespace varnock_cli
