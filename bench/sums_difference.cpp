// How far exact sums lie from the legacy running sums: runs each benchmark
// sheet both ways and prints, per grid and for TOTAL, the largest relative
// difference of a cell, and the wall time of each run.
//
//   build/bench/varnock_sums_difference [SHEET...]   (default: bench/sheets/*)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "varnock/varnock.h"

namespace {

double relative(double exact, double serial) {
  if (exact == serial) return 0;
  return std::fabs(exact - serial) / std::fabs(serial);
}

double largest(const varnock::GridValues& a, const varnock::GridValues& b) {
  double most = 0;
  for (int i = 0; i < varnock::GRID_SIZE; ++i) {
    for (int k = 0; k < varnock::GRID_SIZE; ++k) most = std::max(most, relative(a[i][k], b[i][k]));
  }
  return most;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::filesystem::path> sheets;
  for (int i = 1; i < argc; ++i) sheets.emplace_back(argv[i]);
  if (sheets.empty()) {
    for (const char* n : {"condenser.txt", "reflector.txt", "mixed.txt"}) {
      sheets.push_back(std::filesystem::path(VARNOCK_SOURCE_DIR) / "bench" / "sheets" / n);
    }
  }
  const std::filesystem::path out = std::filesystem::temp_directory_path() / "varnock-sums-difference";
  std::filesystem::create_directories(out);
  std::printf("%-16s %10s %10s %10s %10s %9s %9s\n", "sheet", "TOTAL", "IXY", "IUV", "IUV_P", "serial s",
              "exact s");
  int status = 0;
  for (const std::filesystem::path& sheet : sheets) {
    varnock::RunOptions options;
    varnock::Session serial_session, exact_session;
    const varnock::RunResult serial = serial_session.run(sheet, out, options);
    options.exact_sums = true;
    const varnock::RunResult exact = exact_session.run(sheet, out, options);
    if (!serial.ok() || !exact.ok()) {
      std::fprintf(stderr, "%s: %s\n", sheet.string().c_str(),
                   (serial.ok() ? exact : serial).failure().describe().c_str());
      status = 1;
      continue;
    }
    const varnock::RunSuccess& s = serial.success();
    const varnock::RunSuccess& e = exact.success();
    std::printf("%-16s %10.2e %10.2e %10.2e %10.2e %9.2f %9.2f\n", sheet.filename().string().c_str(),
                relative(e.totals.total, s.totals.total), largest(e.maps.IXY, s.maps.IXY),
                largest(e.maps.IUV, s.maps.IUV), largest(e.maps.IUV_P, s.maps.IUV_P), s.elapsed_seconds,
                e.elapsed_seconds);
  }
  std::filesystem::remove_all(out);
  return status;
}
