#include "watch_command.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "exit_codes.h"
#include "platform/platform.h"
#include "support/files.h"
#include "watch/folder_watch.h"
#include "watch/http_server.h"
#include "watch/watch_routes.h"

namespace varnock_cli {
namespace {

struct WatchArguments {
  std::string folder;
  unsigned port = 0;
  bool no_browser = false;
  bool quiet = false;
};

// Between two looks at the folder and at a stop request the server serves
// this long: a Ctrl-C is noticed well within 200 ms.
constexpr std::chrono::milliseconds SLICE{100};

std::string now_text() {
  const std::time_t now = std::time(nullptr);
  char text[16] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof text, "%H:%M:%S", local);
  return text;
}

// "condenser.txt (from OUT_M.txt): total 1234.000000, transmitted ..., ratio ..."
std::string report_line(const std::string& data_json) {
  const nlohmann::json data = nlohmann::json::parse(data_json, nullptr, false);
  if (data.is_discarded()) return "a new report";
  const nlohmann::json t = data.value("totals", nlohmann::json::object());
  return data.value("title", std::string("a new report")) + ": total " + t.value("total", "?") +
         ", transmitted " + t.value("transmitted", "?") + ", ratio " + t.value("ratio", "?");
}

int watch(const WatchArguments& args) {
  const std::filesystem::path folder = varnock::utf8_path(args.folder);
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(folder, ec);
  if (!std::filesystem::exists(status)) {
    std::cerr << "varnock: " << varnock::display(folder) << ": no such folder\n";
    return EXIT_BAD_INPUT;
  }
  if (!std::filesystem::is_directory(status)) {
    std::cerr << "varnock: " << varnock::display(folder) << " is not a folder\n";
    return EXIT_BAD_INPUT;
  }

  std::atomic<bool> stop_requested{false};
  varnock::platform::StopRequests stops(stop_requested);
  varnock::FolderWatch watched(folder);
  watched.poll(varnock::FolderWatch::Clock::now());

  std::optional<varnock::WatchRoutes> routes;
  std::unique_ptr<varnock::HttpServer> server;
  try {
    server = std::make_unique<varnock::HttpServer>(
        static_cast<unsigned short>(args.port),
        [&routes](const varnock::HttpRequest& request) { return routes->answer(request); });
    routes.emplace(watched, varnock::random_token(), server->port());
  } catch (const std::exception& e) {
    std::cerr << "varnock: " << e.what() << '\n';
    return EXIT_FAILED;
  }
  std::cout << routes->address() << std::endl;
  if (!args.no_browser && !varnock::platform::open_in_browser(routes->address())) {
    std::cerr << "varnock: note: no browser could be started; open the address above in one\n";
  }

  std::uint64_t told_version = 0;
  std::string told_waiting;
  for (;;) {
    if (!args.quiet && watched.version() != told_version) {
      told_version = watched.version();
      std::cout << now_text() << " shown    " << report_line(watched.data_json()) << std::endl;
    }
    if (!args.quiet && watched.waiting() != told_waiting) {
      told_waiting = watched.waiting();
      if (!told_waiting.empty()) std::cout << now_text() << " waiting  " << told_waiting << std::endl;
    }
    if (stop_requested.load()) break;
    server->serve_for(SLICE);
    watched.poll(varnock::FolderWatch::Clock::now());
  }
  return EXIT_OK;
}

}  // namespace

void add_watch_command(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<WatchArguments>();
  CLI::App* cmd = app.add_subcommand(
      "watch",
      "Show a folder's report live: serve the page varnock plot makes for it on this machine "
      "only (127.0.0.1), print its address and open it in the browser. The page redraws itself "
      "whenever a new complete OUT_M.txt (and run.json, in a run's folder) arrives. Nothing is "
      "written into the folder. Ctrl-C ends it.");
  cmd->add_option("DIR", args->folder, "The exchange folder, or a folder varnock run wrote into")->required();
  cmd->add_option("--port", args->port, "Port on 127.0.0.1 (default: one the system chooses)")
      ->check(CLI::Range(0, 65535));
  cmd->add_flag("--no-browser", args->no_browser, "Print the address only; do not open a browser");
  cmd->add_flag("-q,--quiet", args->quiet, "Print the address only, not each new report");
  cmd->callback([args, &exit_code] { exit_code = watch(*args); });
}

}  // namespace varnock_cli
