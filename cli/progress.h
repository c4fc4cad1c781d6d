// The one-line progress display of a run on the terminal, redrawn in place:
// share done, source positions, ray-surface steps per second and the time
// left. Nothing when stderr is not a terminal.
#pragma once

#include <string>

#include "varnock/varnock.h"

namespace varnock_cli {

// 75 s -> "1 min 15 s"; 4000 s -> "1 h 07 min".
std::string duration_text(double seconds);

class ProgressLine {
 public:
  explicit ProgressLine(bool enabled) : enabled_(enabled) {}
  ~ProgressLine() { clear(); }
  void update(const varnock::RunProgress& p);
  // Any other line of progress (a study's), drawn the same way.
  void show(const std::string& line);
  // Removes the line, so that what follows starts on a clean line.
  void clear();

 private:
  bool enabled_;
  bool shown_ = false;
};

}  // namespace varnock_cli
