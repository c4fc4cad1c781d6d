#include "support/files.h"
#include "check_command.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "exit_codes.h"
#include "text_format.h"
#include "report/sheet_check.h"
#include "support/run_error.h"

namespace varnock_cli {
namespace {

struct CheckArguments {
  std::string sheet;
  unsigned threads = 0;
  bool fast = false;
  bool json = false;
};

std::string duration(double seconds) {
  char text[64];
  if (seconds < 120) {
    std::snprintf(text, sizeof text, "%.1f s", seconds);
  } else if (seconds < 7200) {
    std::snprintf(text, sizeof text, "%.1f min", seconds / 60);
  } else if (seconds < 3 * 86400) {
    std::snprintf(text, sizeof text, "%.1f h", seconds / 3600);
  } else {
    std::snprintf(text, sizeof text, "%.1f days", seconds / 86400);
  }
  return text;
}

void print_table(const varnock::SystemTable& t) {
  std::vector<std::size_t> width(t.columns.size());
  for (std::size_t c = 0; c < t.columns.size(); ++c) width[c] = t.columns[c].size();
  for (const auto& row : t.rows) {
    for (std::size_t c = 0; c < row.size() && c < width.size(); ++c) width[c] = std::max(width[c], row[c].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t c = 0; c < cells.size() && c < width.size(); ++c) {
      text += cells[c] + std::string(width[c] - cells[c].size() + 2, ' ');
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    std::cout << text << '\n';
  };
  line(t.columns);
  for (const auto& row : t.rows) line(row);
}

void print_text(const std::string& sheet, const varnock::SheetCheck& c) {
  std::cout << "sheet             " << sheet << "\n\n";
  print_table(c.table);
  std::cout << "\nfan rays          " << with_separators(c.fan_rays) << "\n"
            << "source positions  " << with_separators(c.source_positions) << "\n"
            << "index sets        " << c.index_sets << "\n"
            << "surfaces          " << c.surfaces << "\n"
            << "rays traced       " << with_separators(c.rays_traced) << (c.estimated ? " (estimated)" : "") << "\n"
            << "ray-surface steps " << with_separators(c.steps) << (c.estimated ? " (estimated)" : "") << "\n"
            << "estimated time    " << duration(c.estimated_seconds) << " with " << c.threads
            << (c.threads == 1 ? " thread" : " threads") << ", " << c.mode << " mode\n";
  if (!c.warnings.empty()) {
    std::cout << "\n";
    for (const std::string& w : c.warnings) std::cout << "warning: " << w << "\n";
  }
}

void print_json(const std::string& sheet, const varnock::SheetCheck& c) {
  nlohmann::ordered_json j;
  j["sheet"] = sheet;
  j["columns"] = c.table.columns;
  j["surfaces_table"] = c.table.rows;
  j["fan_rays"] = c.fan_rays;
  j["source_positions"] = c.source_positions;
  j["index_sets"] = c.index_sets;
  j["surfaces"] = c.surfaces;
  j["rays_traced"] = c.rays_traced;
  j["ray_surface_steps"] = c.steps;
  j["estimated_counts"] = c.estimated;
  j["threads"] = c.threads;
  j["mode"] = c.mode;
  j["estimated_seconds"] = c.estimated_seconds;
  j["sheet_warnings"] = c.sheet_warnings;
  j["warnings"] = c.warnings;
  std::cout << j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

int check(const CheckArguments& args) {
  varnock::RunOptions options;
  options.threads = args.threads;
  options.fast = args.fast;
  try {
    const varnock::SheetCheck c = varnock::check_sheet(varnock::utf8_path(args.sheet), options);
    for (const std::string& w : c.sheet_warnings) {
      std::cerr << "varnock: warning: " << args.sheet << ": " << w << '\n';
    }
    if (args.json) {
      print_json(args.sheet, c);
    } else {
      print_text(args.sheet, c);
    }
    return EXIT_OK;
  } catch (const varnock::RunError& e) {
    std::cerr << "varnock: " << e.failure().describe() << '\n';
    return EXIT_BAD_INPUT;
  }
}

}  // namespace

void add_check_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<CheckArguments>();
  CLI::App* cmd = app.add_subcommand(
      "check",
      "Read a sheet and, without running it or writing anything, print its system, the size "
      "of its run, an estimate of the run's time on this machine (from a sample of rays traced "
      "now) and warnings for likely mistakes. Exit code 0: the sheet can run; 2: varnock run "
      "would refuse it.");
  cmd->add_option("SHEET", args->sheet, "Input sheet")->required();
  cmd->add_option("-t,--threads", args->threads, "Threads the estimate is for (default: all CPUs)")
      ->check(CLI::Range(0u, 256u));
  cmd->add_flag("--fast", args->fast, "Estimate the time of a --fast run");
  cmd->add_flag("--json", args->json, "Print the check as one JSON object");
  cmd->callback([args, &exit_code] { exit_code = check(*args); });
}

}  // namespace varnock_cli
