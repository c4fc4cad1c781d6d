#include "progress.h"

#include <cstdio>
#include <string>

namespace varnock_cli {

std::string duration_text(double seconds) {
  char buffer[64];
  const long long s = static_cast<long long>(seconds + 0.5);
  if (s < 60) {
    std::snprintf(buffer, sizeof buffer, "%lld s", s);
  } else if (s < 3600) {
    std::snprintf(buffer, sizeof buffer, "%lld min %02lld s", s / 60, s % 60);
  } else {
    std::snprintf(buffer, sizeof buffer, "%lld h %02lld min", s / 3600, (s % 3600) / 60);
  }
  return buffer;
}

void ProgressLine::update(const varnock::RunProgress& p) {
  if (!enabled_) return;
  std::string line = "tracing: ";
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "%5.1f%%  %lld of %lld source positions", 100 * p.fraction,
                static_cast<long long>(p.positions_done), static_cast<long long>(p.positions_total));
  line += buffer;
  if (p.elapsed_seconds > 0) {
    std::snprintf(buffer, sizeof buffer, "  %.3g steps/s", static_cast<double>(p.steps) / p.elapsed_seconds);
    line += buffer;
  }
  if (p.seconds_left >= 0 && p.fraction < 1) line += "  about " + duration_text(p.seconds_left) + " left";
  show(line);
}

void ProgressLine::show(const std::string& line) {
  if (!enabled_) return;
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
  shown_ = true;
}

void ProgressLine::clear() {
  if (!shown_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace varnock_cli
