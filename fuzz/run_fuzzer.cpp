// Fuzz target: whole runs of fuzzed sheets, kept small so that one input
// runs in milliseconds: the fan, the source positions and the index sets
// are capped here before the run. The files go to a private folder and must
// have the shape the front end reads (a 132-line report and a fan listing,
// CR LF throughout), or the sheet must be refused cleanly.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "model/limits.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "run/run_driver.h"
#include "source/fan.h"
#include "support/run_error.h"

namespace {

// With up to 100 surfaces: some 40,000 ray-surface steps at most.
constexpr std::int64_t MOST_FAN_RAYS = 100;
constexpr int MOST_RING = 2, MOST_SCAN = 2, MOST_SETS = 2;

std::filesystem::path private_folder() {
  static const std::filesystem::path dir = [] {
    // In memory where there is such a file system: the runs write files.
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::filesystem::path d = base / ("varnock-run-fuzzer-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// The sheet as cells again, with the counts that size a run capped.
std::string capped_sheet(std::string_view text) {
  const varnock::SheetCells cells = varnock::SheetCells::parse(text);
  varnock::SystemState sys;
  std::vector<std::string> warnings;
  varnock::read_sheet(cells, sys, warnings);
  varnock::RunParams& p = sys.params;
  std::vector<std::vector<std::string>> grid(varnock::SHEET_ROWS,
                                             std::vector<std::string>(varnock::SHEET_COLUMNS));
  for (int r = 0; r < varnock::SHEET_ROWS; ++r) {
    for (int c = 0; c < varnock::SHEET_COLUMNS; ++c) grid[r][c] = std::string(cells.at(c, r));
  }
  const varnock::FanPlan fan = varnock::plan_fan(p, MOST_FAN_RAYS);
  if (fan.too_many_cones || fan.rays > MOST_FAN_RAYS) {
    grid[4][2] = std::to_string(p.NPHI % 20);  // NPHI
    grid[5][2] = std::to_string(p.NTH % 6);    // NTH
  }
  if (p.NRING > MOST_RING) grid[8][2] = std::to_string(MOST_RING);
  if (p.NSCAN > MOST_SCAN) grid[9][2] = std::to_string(MOST_SCAN);
  if (p.NSET > MOST_SETS) grid[15][1] = std::to_string(MOST_SETS);
  std::string out;
  for (const auto& row : grid) {
    for (int c = 0; c < varnock::SHEET_COLUMNS; ++c) out += (c ? "\t" : "") + row[c];
    out += "\r\n";
  }
  return out;
}

std::string read_all(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Lines ending in CR LF, and how many.
std::size_t crlf_lines(const std::string& bytes) {
  std::size_t lines = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      if (i == 0 || bytes[i - 1] != '\r') __builtin_trap();
      ++lines;
    } else if (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')) {
      __builtin_trap();
    }
  }
  if (!bytes.empty() && bytes.back() != '\n') __builtin_trap();
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path dir = private_folder();
  std::string sheet;
  try {
    sheet = capped_sheet(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const varnock::RunError&) {
    return 0;
  }
  {
    std::ofstream out(dir / "IN_FM.txt", std::ios::binary);
    out << sheet;
  }
  std::error_code ec;
  for (const char* name : {"OUT_MI.txt", "OUT_MR.txt", "OUT_M.txt"}) std::filesystem::remove(dir / name, ec);
  static varnock::Model model;  // persists between inputs, as the loaded library's does
  varnock::RunOptions options;
  // Now and then on two threads: the ordered fold must hold for them too.
  options.threads = size % 8 == 0 ? 2 : 1;
  const varnock::RunResult r =
      varnock::run_sheet_result(model, dir / "IN_FM.txt", {dir, ""}, options);
  if (!r.ok()) {
    // Only the sheet may be refused; the private folder is always writable.
    if (r.failure().kind != varnock::FailureKind::Sheet) __builtin_trap();
    return 0;
  }
  if (crlf_lines(read_all(dir / "OUT_M.txt")) != 132) __builtin_trap();
  const std::size_t listing = crlf_lines(read_all(dir / "OUT_MI.txt"));
  if (listing != static_cast<std::size_t>(r.success().totals.fan_rays) + 1) __builtin_trap();
  return 0;
}
