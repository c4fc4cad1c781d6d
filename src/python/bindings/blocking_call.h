// A long call into the engine made from Python: it runs on a thread of its
// own while the calling thread waits with the GIL released, so that other
// Python threads run meanwhile. Ten times a second the waiting thread takes
// the GIL back to hand the latest progress to the caller's function and to
// see whether Ctrl-C was pressed; then it cancels the call, waits for it to
// end (its files are then cleaned up) and raises KeyboardInterrupt.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace varnock_python {

// How far a call has got, as Python's progress functions see it.
struct Progress {
  double fraction = 0;          // of the work, 0 to 1
  std::int64_t done = 0;        // source positions, or a study's points
  std::int64_t total = 0;
  std::int64_t rays_traced = 0;
  double elapsed = 0;           // seconds
  double seconds_left = -1;     // an estimate; negative while unknown
};

// Where the call leaves its progress for the waiting thread.
class ProgressSlot {
 public:
  void put(const Progress& p);
  std::optional<Progress> take();

 private:
  std::mutex mutex_;
  std::optional<Progress> latest_;
};

// Runs job(cancel, progress) as described above. progress may be None.
// Exceptions of the job reach the caller as they were thrown, on the
// calling thread.
void call_without_gil(const std::function<void(const std::atomic<bool>& cancel, ProgressSlot& slot)>& job,
                      const pybind11::object& progress);

void bind_progress(pybind11::module_& m);

}  // namespace varnock_python
