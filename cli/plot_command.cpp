#include "support/files.h"
#include "plot_command.h"

#include <iostream>
#include <memory>
#include <string>

#include "api/plot_folder.h"
#include "exit_codes.h"
#include "figure_option.h"
#include "report/report_file.h"

namespace varnock_cli {
namespace {

struct PlotArguments {
  std::string path;
  std::string output_dir;
  std::string figures;
  bool csv = false;
  bool quiet = false;
};

int plot(const PlotArguments& args) {
  varnock::PlotOptions options;
  options.output_dir = varnock::utf8_path(args.output_dir);
  options.figures = figure_format(args.figures);
  options.csv = args.csv;
  try {
    const varnock::PlotResult r = varnock::plot_folder(varnock::utf8_path(args.path), options);
    for (const std::string& note : r.notes) std::cerr << "varnock: warning: " << note << '\n';
    if (!args.quiet) std::cout << "report            " << varnock::display(r.page) << '\n';
    return EXIT_OK;
  } catch (const varnock::ReportError& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  } catch (const std::exception& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_FAILED;
  }
}

}  // namespace

void add_plot_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<PlotArguments>();
  CLI::App* cmd = app.add_subcommand(
      "plot",
      "Write report.html for results already on disk: PATH is an OUT_M.txt, or a folder holding "
      "one (such as the front end's exchange folder). With IN_FM.txt beside it the page shows "
      "the system too, and says so when the sheet may have changed since the run.");
  cmd->add_option("PATH", args->path, "OUT_M.txt or the folder that holds it")->required();
  cmd->add_option("-o,--output", args->output_dir,
                  "Folder for report.html and any figures (default: the report's folder)");
  add_figure_option(*cmd, args->figures);
  cmd->add_flag("--csv", args->csv, "Also write the grids as IXY.csv, IUV.csv and IUV_P.csv");
  cmd->add_flag("-q,--quiet", args->quiet, "Print nothing on success");
  cmd->callback([args, &exit_code] { exit_code = plot(*args); });
}

}  // namespace varnock_cli
