// varnock: the command-line tool. Each subcommand lives in a file of its
// own; see exit_codes.h for what the tool returns.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "check_command.h"
#include "compare_command.h"
#include "exit_codes.h"
#include "platform/platform.h"
#include "plot_command.h"
#include "run_command.h"
#include "study_commands.h"
#include "watch_command.h"
#include "varnock/varnock.h"
#ifdef VARNOCK_WITH_MPI
#include "dist/mpi_job.h"
#endif

int main(int argc, char** argv) {
#ifdef VARNOCK_WITH_MPI
  // Started by mpirun, the tool is one rank of a job: run and the studies
  // then share their work among the ranks. Anything else (check, plot,
  // compare, merge, help) is done by rank 0 alone, so that the ranks do not
  // write the same files side by side.
  varnock::MpiJob job(argc, argv);
  if (job.shared() && job.rank() != 0) {
    const char* command = nullptr;
    for (int i = 1; i < argc && command == nullptr; ++i) {
      if (argv[i][0] != '-') command = argv[i];
    }
    const std::string name = command != nullptr ? command : "";
    if (name != "run" && name != "sweep" && name != "trials") return varnock_cli::EXIT_OK;
  }
#endif
  CLI::App app{
      "Varnock traces the light of a ring source through a coaxial system of lenses,\n"
      "mirrors, lens arrays and stops, and maps where it lands and where it heads."};
  app.name("varnock");
  app.set_version_flag("--version", std::string("varnock ") + varnock::version());
  app.require_subcommand(1);

  int exit_code = varnock_cli::EXIT_OK;
  varnock_cli::add_run_command(app, exit_code);
  varnock_cli::add_check_command(app, exit_code);
  varnock_cli::add_plot_command(app, exit_code);
  varnock_cli::add_compare_command(app, exit_code);
  varnock_cli::add_sweep_command(app, exit_code);
  varnock_cli::add_trials_command(app, exit_code);
  varnock_cli::add_merge_command(app, exit_code);
  varnock_cli::add_optimize_command(app, exit_code);
  varnock_cli::add_watch_command(app, exit_code);

  // UTF-8 arguments and a console that shows UTF-8, on every platform, so
  // that a folder called résultats or 結果 works on Windows too.
  varnock::platform::use_utf8_console();
  std::vector<std::string> arguments = varnock::platform::utf8_arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& a : arguments) pointers.push_back(a.data());
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "varnock: " << e.what() << "\nRun 'varnock --help' for usage.\n";
    return varnock_cli::EXIT_BAD_INPUT;
  } catch (const std::exception& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return varnock_cli::EXIT_FAILED;
  }
  return exit_code;
}
