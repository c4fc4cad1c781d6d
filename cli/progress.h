// The one-line progress display of a run on the terminal, redrawn in place:
// share done, source positions, ray-surface steps per second and the time
// left. Nothing when stderr is not a terminal.
#pragma once

#include "varnock/varnock.h"

namespace varnock_cli {

class ProgressLine {
 public:
  explicit ProgressLine(bool enabled) : enabled_(enabled) {}
  ~ProgressLine() { clear(); }
  void update(const varnock::RunProgress& p);
  // Removes the line, so that what follows starts on a clean line.
  void clear();

 private:
  bool enabled_;
  bool shown_ = false;
};

}  // namespace varnock_cli
