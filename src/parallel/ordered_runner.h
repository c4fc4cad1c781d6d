// Work cut into tasks that run side by side and are folded strictly in
// order: tasks are handed out one after another, traced (or formatted) on
// any thread, and their results folded in the order they were handed out,
// one fold at a time. The files of a run therefore do not depend on the
// number of threads or on timing: only the fold touches the sums, and it
// sees the tasks in the serial order.
//
// At most `window` tasks are in flight, each with its own slot that is
// reused once its task is folded, so memory stays bounded whatever the
// number of tasks. The calling thread works as one of the threads (with one
// thread it does everything itself) and is the only one that calls on_tick;
// every other thread is joined before run_ordered returns.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace varnock {

struct OrderedRunControl {
  unsigned threads = 1;
  // Tasks in flight at once; at least the number of threads.
  std::size_t window = 4;
  // Checked before every task: once true, no new task starts and the run
  // ends as soon as the tasks under way are done (their results are not
  // folded).
  const std::atomic<bool>* cancel = nullptr;
  // Called on the calling thread at most every tick_interval, between tasks
  // and while it waits.
  std::function<void()> on_tick;
  std::chrono::milliseconds tick_interval{100};
};

// Runs until next() hands out no more tasks. next(Task&) is called in order
// under a lock; work(const Task&, Slot&, unsigned thread) on any thread, with
// thread in 0..threads-1 (0 is the calling thread); fold(const Task&, Slot&)
// in task order, never two at once. Returns false when cancelled. An
// exception from any of them stops the run and is rethrown here after every
// thread has ended.
template <class Task, class Slot, class Next, class Work, class Fold>
bool run_ordered(const OrderedRunControl& control, Next&& next, Work&& work, Fold&& fold) {
  enum class State { Free, Working, Done };
  struct Entry {
    Task task{};
    Slot slot{};
    State state = State::Free;
  };

  const unsigned threads = control.threads > 0 ? control.threads : 1;
  const std::size_t window = control.window > threads ? control.window : threads;
  std::vector<Entry> ring(window);
  std::mutex mutex;
  std::condition_variable changed;
  std::uint64_t issued = 0;  // tasks handed out
  std::uint64_t folded = 0;  // tasks folded
  bool exhausted = false;    // next() has no more tasks
  bool folding = false;      // a thread is folding
  bool stopping = false;     // cancelled or failed
  bool cancelled = false;
  std::exception_ptr failure;
  auto last_tick = std::chrono::steady_clock::now();

  auto worker = [&](unsigned thread) {
    const bool caller = thread == 0;
    std::unique_lock<std::mutex> lock(mutex);
    auto tick = [&] {
      if (!caller || !control.on_tick) return;
      const auto now = std::chrono::steady_clock::now();
      if (now - last_tick < control.tick_interval) return;
      last_tick = now;
      lock.unlock();
      control.on_tick();
      lock.lock();
    };
    try {
      for (;;) {
        if (stopping) break;
        if (control.cancel != nullptr && control.cancel->load(std::memory_order_relaxed)) {
          cancelled = true;
          stopping = true;
          changed.notify_all();
          break;
        }
        Entry& head = ring[folded % window];
        if (!folding && folded < issued && head.state == State::Done) {
          folding = true;
          lock.unlock();
          fold(static_cast<const Task&>(head.task), head.slot);
          lock.lock();
          head.state = State::Free;
          ++folded;
          folding = false;
          changed.notify_all();
          tick();
          continue;
        }
        if (!exhausted && issued - folded < window) {
          Entry& entry = ring[issued % window];
          if (!next(entry.task)) {
            exhausted = true;
            changed.notify_all();
            continue;
          }
          ++issued;
          entry.state = State::Working;
          lock.unlock();
          work(static_cast<const Task&>(entry.task), entry.slot, thread);
          lock.lock();
          entry.state = State::Done;
          changed.notify_all();
          tick();
          continue;
        }
        if (exhausted && folded == issued) break;
        if (caller && control.on_tick) {
          changed.wait_for(lock, control.tick_interval);
          tick();
        } else {
          changed.wait(lock);
        }
      }
    } catch (...) {
      if (!lock.owns_lock()) lock.lock();
      if (!failure) failure = std::current_exception();
      stopping = true;
      changed.notify_all();
    }
  };

  {
    std::vector<std::thread> helpers;
    // Joined on every way out, an exception from starting a thread included.
    struct Joiner {
      std::vector<std::thread>& list;
      ~Joiner() {
        for (std::thread& t : list) t.join();
      }
    } joiner{helpers};
    try {
      for (unsigned t = 1; t < threads; ++t) helpers.emplace_back(worker, t);
    } catch (...) {
      // Fewer helpers than asked: the run goes on with those that started.
    }
    worker(0);
  }
  if (failure) std::rethrow_exception(failure);
  return !cancelled;
}

}  // namespace varnock
