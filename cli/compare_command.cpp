#include "support/files.h"
#include "compare_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "exit_codes.h"
#include "report/compare_folders.h"
#include "text_format.h"

namespace varnock_cli {
namespace {

struct CompareArguments {
  std::string a, b;
  bool json = false;
};

nlohmann::json number(double v) { return std::isfinite(v) ? nlohmann::json(v) : nlohmann::json(nullptr); }

void print_text(const varnock::FolderComparison& c) {
  for (const varnock::FileComparison& f : c.files) {
    std::string state = f.identical ? "identical" : "different";
    if (!f.in_a && !f.in_b) state = "in neither folder";
    else if (!f.in_a) state = "only in the second folder";
    else if (!f.in_b) state = "only in the first folder";
    std::printf("%-11s %s\n", f.name.c_str(), state.c_str());
  }
  if (c.identical) return;
  std::printf("total        %s and %s, relative difference %s\n", fixed(c.a.total).c_str(),
              fixed(c.b.total).c_str(), general(c.total_relative).c_str());
  std::printf("transmitted  %s and %s, relative difference %s\n", fixed(c.a.transmitted).c_str(),
              fixed(c.b.transmitted).c_str(), general(c.transmitted_relative).c_str());
  for (const varnock::GridComparison& g : c.grids) {
    std::printf("%-6s       %s %% of the total weight in a different cell (largest cell difference %s)\n",
                g.name.c_str(), general(100 * g.moved_share).c_str(),
                general(g.largest_cell_difference).c_str());
  }
}

void print_json(const varnock::FolderComparison& c) {
  nlohmann::ordered_json out;
  out["identical"] = c.identical;
  nlohmann::ordered_json files = nlohmann::ordered_json::object();
  for (const varnock::FileComparison& f : c.files) {
    files[f.name] = {{"identical", f.identical}, {"in_a", f.in_a}, {"in_b", f.in_b}};
  }
  out["files"] = files;
  out["total"] = {{"a", number(c.a.total)}, {"b", number(c.b.total)}, {"relative", number(c.total_relative)}};
  out["transmitted"] = {{"a", number(c.a.transmitted)}, {"b", number(c.b.transmitted)},
                        {"relative", number(c.transmitted_relative)}};
  nlohmann::ordered_json grids = nlohmann::ordered_json::object();
  for (const varnock::GridComparison& g : c.grids) {
    grids[g.name] = {{"moved_share", number(g.moved_share)},
                     {"largest_cell_difference", number(g.largest_cell_difference)}};
  }
  out["grids"] = grids;
  std::cout << out.dump(2) << '\n';
}

int compare(const CompareArguments& args) {
  try {
    const varnock::FolderComparison c = varnock::compare_folders(varnock::utf8_path(args.a), varnock::utf8_path(args.b));
    if (args.json) {
      print_json(c);
    } else {
      print_text(c);
    }
    return c.identical ? EXIT_OK : EXIT_FAILED;
  } catch (const varnock::ReportError& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_BAD_INPUT;
  }
}

}  // namespace

void add_compare_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<CompareArguments>();
  CLI::App* cmd = app.add_subcommand(
      "compare",
      "Say whether two result folders hold the same OUT_MI.txt, OUT_MR.txt and OUT_M.txt and, "
      "if not, how far apart they are: the share of the total weight in a different cell of "
      "each grid, sum |a - b| / (2 TOTAL), and the relative differences of the totals. Exit "
      "code 0: identical; 1: different; 2: a folder or report that cannot be used.");
  cmd->add_option("DIR_A", args->a, "First result folder")->required();
  cmd->add_option("DIR_B", args->b, "Second result folder")->required();
  cmd->add_flag("--json", args->json, "Print the comparison as one JSON object");
  cmd->callback([args, &exit_code] { exit_code = compare(*args); });
}

}  // namespace varnock_cli
