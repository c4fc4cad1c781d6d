#include "blocking_call.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <thread>

namespace py = pybind11;

namespace varnock_python {

void ProgressSlot::put(const Progress& p) {
  std::lock_guard<std::mutex> lock(mutex_);
  latest_ = p;
}

std::optional<Progress> ProgressSlot::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::optional<Progress> p = latest_;
  latest_.reset();
  return p;
}

namespace {

// A Python exception held while the GIL is released: its three parts are
// plain references, restored once the GIL is back.
struct HeldError {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  bool held() const { return type != nullptr; }
  void fetch() { PyErr_Fetch(&type, &value, &traceback); }
  [[noreturn]] void raise() {
    PyErr_Restore(type, value, traceback);
    throw py::error_already_set();
  }
};

constexpr auto POLL = std::chrono::milliseconds(100);

}  // namespace

void call_without_gil(const std::function<void(const std::atomic<bool>&, ProgressSlot&)>& job,
                      const py::object& progress) {
  std::atomic<bool> cancel{false};
  ProgressSlot slot;
  std::mutex mutex;
  std::condition_variable finished_cv;
  bool finished = false;
  std::exception_ptr failure;
  HeldError interrupted;

  // Called with the GIL held: Ctrl-C (while the work runs), then the
  // caller's progress function. Either may raise; the call is then
  // cancelled and the error kept.
  auto check_in = [&](bool signals) {
    if (signals && PyErr_CheckSignals() != 0) {
      interrupted.fetch();
      return false;
    }
    if (std::optional<Progress> p = slot.take(); p && !progress.is_none()) {
      try {
        progress(*p);
      } catch (py::error_already_set& e) {
        e.restore();
        interrupted.fetch();
        return false;
      }
    }
    return true;
  };

  {
    py::gil_scoped_release release;
    std::thread worker([&] {
      try {
        job(cancel, slot);
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard<std::mutex> lock(mutex);
      finished = true;
      finished_cv.notify_all();
    });
    // Whatever leaves the loop, the worker is stopped and joined first.
    struct Join {
      std::thread& worker;
      std::atomic<bool>& cancel;
      ~Join() {
        if (!worker.joinable()) return;
        cancel = true;
        worker.join();
      }
    } join{worker, cancel};
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        if (finished_cv.wait_for(lock, POLL, [&] { return finished; })) break;
      }
      if (interrupted.held()) continue;  // cancelled: waiting for the job to stop
      py::gil_scoped_acquire acquire;
      if (!check_in(true)) cancel = true;
    }
    worker.join();
  }
  if (interrupted.held()) interrupted.raise();
  // The last progress (the end of the work) before the result; a Ctrl-C now
  // comes after the finished work, from Python itself.
  if (!check_in(false)) interrupted.raise();
  if (failure) std::rethrow_exception(failure);
}

void bind_progress(py::module_& m) {
  py::class_<Progress>(m, "Progress",
                       "How far a run or a study has got, as the progress function is given it.")
      .def_readonly("fraction", &Progress::fraction, "The share of the work done, from 0 to 1.")
      .def_readonly("done", &Progress::done,
                    "Source positions done (a run), or points done (a study).")
      .def_readonly("total", &Progress::total, "Source positions, or points, in all.")
      .def_readonly("rays_traced", &Progress::rays_traced, "Rays traced so far (a run).")
      .def_readonly("elapsed", &Progress::elapsed, "Seconds since the call started.")
      .def_readonly("seconds_left", &Progress::seconds_left,
                    "An estimate of the seconds left; negative while unknown.")
      .def("__repr__", [](const Progress& p) {
        return py::str("Progress(fraction={:.3f}, done={}, total={}, elapsed={:.2f})")
            .format(p.fraction, p.done, p.total, p.elapsed);
      });
}

}  // namespace varnock_python
