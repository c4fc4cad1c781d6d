#include "support/files.h"
#include "summary.h"

#include <cstdio>

#include "text_format.h"

namespace varnock_cli {
namespace {

std::string seconds(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f s", v);
  return buffer;
}

// A part of a run: most take milliseconds.
std::string milliseconds(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.0f ms", 1000 * v);
  return buffer;
}

}  // namespace

std::string format_summary(const std::filesystem::path& sheet,
                           const std::filesystem::path& output_dir,
                           const varnock::RunSuccess& result) {
  const varnock::RunTotals& t = result.totals;
  std::string s;
  s += "sheet             " + varnock::display(sheet) + "\n";
  s += "results in        " + varnock::display(output_dir) + "\n";
  s += "fan rays          " + with_separators(t.fan_rays) + "\n";
  s += "source positions  " + with_separators(t.source_positions) + "\n";
  s += "index sets        " + with_separators(t.index_sets) + "\n";
  s += "rays traced       " + with_separators(t.rays_traced) + "\n";
  s += "ray-surface steps " + with_separators(t.steps) + "\n";
  s += "total             " + fixed(t.total) + "\n";
  s += "transmitted       " + fixed(t.transmitted) + "\n";
  s += "ratio             " + fixed(t.ratio) + "\n";
  s += "elapsed           " + seconds(result.elapsed_seconds) + "\n";
  std::string mode = std::string(result.mode) + " mode";
  if (*result.simd != '\0') mode += ", " + std::string(result.simd);
  if (std::string(result.sums) == "exact") mode += ", exact sums";
  if (result.processes.empty()) {
    s += "threads           " + std::to_string(result.threads) + " (" + mode + ")\n";
  } else {
    unsigned threads = 0;
    for (const varnock::ProcessInfo& p : result.processes) threads += p.threads;
    s += "threads           " + std::to_string(threads) + " in " +
         std::to_string(result.processes.size()) + " MPI ranks (" + mode + ")\n";
  }
  if (result.elapsed_seconds > 0) {
    s += "steps per second  " + general(static_cast<double>(t.steps) / result.elapsed_seconds) + "\n";
  }
  const varnock::RunParts& p = result.parts;
  s += "time per part     sheet " + milliseconds(p.sheet) + ", fan " + milliseconds(p.fan) +
       ", trace " + milliseconds(p.trace) + ", report " + milliseconds(p.report) + ", page " +
       milliseconds(p.page) + "\n";
  return s;
}

}  // namespace varnock_cli
