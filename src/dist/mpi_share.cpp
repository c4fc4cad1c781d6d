#include "dist/mpi_share.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include "accum/exact_sum.h"
#include "dist/mpi_wait.h"
#include "support/run_error.h"

namespace varnock {
namespace {

// What a rank tells the others as the tracing starts: fixed layout, sent
// as bytes (every rank runs the same binary).
struct StartRecord {
  std::int32_t ok = 0;
  std::uint32_t threads = 0;
  std::uint64_t tasks = 0;
  std::uint64_t sheet_hash = 0;
  std::array<char, 64> host{};
  std::array<char, 32> maths{};
};

template <std::size_t N>
void put_text(std::array<char, N>& to, const std::string& text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(to.data(), text.data(), n);
  to[n] = '\0';
}

template <std::size_t N>
std::string text_of(const std::array<char, N>& from) {
  return std::string(from.data(), strnlen(from.data(), N));
}

// The reduction's step: accumulator by accumulator, inout += in. The bytes
// are this program's own, so a fault here is a broken job, not bad input.
void merge_accumulators(void* in, void* inout, int* count, MPI_Datatype*) {
  const std::size_t size = ExactSum::serialized_size();
  const auto* from = static_cast<const std::uint8_t*>(in);
  auto* into = static_cast<std::uint8_t*>(inout);
  try {
    for (int i = 0; i < *count; ++i, from += size, into += size) {
      ExactSum sum = ExactSum::deserialize(into, size);
      sum.merge(ExactSum::deserialize(from, size));
      sum.serialize(into);
    }
  } catch (const std::exception& e) {
    std::cerr << "varnock: combining the ranks' sums failed: " << e.what() << '\n';
    MPI_Abort(MPI_COMM_WORLD, 1);
  }
}

}  // namespace

MpiShare::MpiShare(MpiJob& job) : job_(job) {
  void* base = nullptr;
  const MPI_Aint bytes = job_.rank() == 0 ? sizeof(std::uint64_t) : 0;
  MPI_Win_allocate(bytes, sizeof(std::uint64_t), MPI_INFO_NULL, MPI_COMM_WORLD, &base, &window_);
  MPI_Win_lock_all(0, window_);
  if (job_.rank() == 0) {
    // Set through the window, as the other ranks will read it.
    const std::uint64_t zero = 0;
    MPI_Put(&zero, 1, MPI_UINT64_T, 0, 0, 1, MPI_UINT64_T, window_);
    MPI_Win_flush(0, window_);
  }
  MPI_Type_contiguous(static_cast<int>(ExactSum::serialized_size()), MPI_BYTE, &accumulator_);
  MPI_Type_commit(&accumulator_);
  MPI_Op_create(merge_accumulators, 1, &merge_);
}

MpiShare::~MpiShare() {
  if (stage_ == Stage::Waiting) fail(1);
  if (stage_ == Stage::Tracing) job_.abort(1);
  MPI_Op_free(&merge_);
  MPI_Type_free(&accumulator_);
}

void MpiShare::free_window() {
  if (window_ == MPI_WIN_NULL) return;
  MPI_Win_unlock_all(window_);
  MPI_Win_free(&window_);  // collective: every rank is at the same step
}

void MpiShare::exchange(bool ok, const ProcessInfo& self, std::uint64_t total_tasks,
                        std::uint64_t sheet_hash) {
  StartRecord mine;
  mine.ok = ok ? 1 : 0;
  mine.threads = self.threads;
  mine.tasks = total_tasks;
  mine.sheet_hash = sheet_hash;
  put_text(mine.host, self.host);
  put_text(mine.maths, self.maths);
  std::vector<StartRecord> all(static_cast<std::size_t>(job_.size()));
  MPI_Request request;
  MPI_Iallgather(&mine, sizeof mine, MPI_BYTE, all.data(), sizeof mine, MPI_BYTE, MPI_COMM_WORLD,
                 &request);
  wait_gently(request);

  std::string why;
  for (std::size_t r = 0; r < all.size() && why.empty(); ++r) {
    if (!all[r].ok) {
      why = "rank " + std::to_string(r) + " could not start the run (it says why)";
    } else if (all.front().ok && all[r].sheet_hash != all.front().sheet_hash) {
      why = "rank " + std::to_string(r) + " read a sheet that differs from rank 0's: every rank "
            "must read the same sheet";
    } else if (all.front().ok && all[r].tasks != all.front().tasks) {
      why = "rank " + std::to_string(r) + " sees a run of " + std::to_string(all[r].tasks) +
            " tasks where rank 0 sees " + std::to_string(all.front().tasks);
    }
  }
  // Who speaks: rank 0 always; another rank only about its own failure,
  // and only when rank 0 could start (a sheet every rank refuses is said
  // once).
  failed_elsewhere_ = job_.rank() != 0 && (ok || !all.front().ok);
  if (!why.empty() || !ok) {
    stage_ = Stage::Over;
    free_window();
    if (ok) fail_output("the MPI job", "the run stopped before tracing: " + why);
    return;
  }
  for (const StartRecord& r : all) {
    processes_.push_back(ProcessInfo{text_of(r.host), r.threads, text_of(r.maths)});
  }
  // Runs of tasks: some 32 a rank, so that the last ones even out the
  // ranks' finishing times, but at most 64 tasks (a second or so of a
  // thread) at a time.
  run_length_ = std::clamp<std::uint64_t>(
      total_tasks / (32 * static_cast<std::uint64_t>(job_.size())), 1, 64);
  stage_ = Stage::Tracing;
}

void MpiShare::start(const ProcessInfo& self, std::uint64_t total_tasks, std::uint64_t sheet_hash) {
  exchange(true, self, total_tasks, sheet_hash);
}

void MpiShare::fail(int code) {
  if (stage_ == Stage::Waiting) {
    exchange(false, ProcessInfo{}, 0, 0);
  } else if (stage_ == Stage::Tracing) {
    // The others are tracing or waiting to combine: only ending the job
    // stops them.
    job_.abort(code);
  }
}

bool MpiShare::next_tasks(std::uint64_t total, std::uint64_t& first, std::uint64_t& last) {
  std::uint64_t taken = 0;
  MPI_Fetch_and_op(&run_length_, &taken, MPI_UINT64_T, 0, 0, MPI_SUM, window_);
  MPI_Win_flush(0, window_);
  if (taken >= total) return false;
  first = taken;
  last = total - taken < run_length_ ? total : taken + run_length_;
  return true;
}

void MpiShare::combine(std::vector<std::uint8_t>& sums, std::vector<std::int64_t>& counts) {
  free_window();
  const int accumulators = static_cast<int>(sums.size() / ExactSum::serialized_size());
  const bool root = job_.rank() == 0;
  // Wait for the last rank without spinning, then reduce with blocking
  // calls: a non-blocking reduction of a megabyte and more moves only when
  // it is tested, and would crawl between the naps.
  MPI_Request everyone;
  MPI_Ibarrier(MPI_COMM_WORLD, &everyone);
  wait_gently(everyone);
  MPI_Reduce(root ? MPI_IN_PLACE : sums.data(), sums.data(), accumulators, accumulator_, merge_, 0,
             MPI_COMM_WORLD);
  MPI_Reduce(root ? MPI_IN_PLACE : counts.data(), counts.data(), static_cast<int>(counts.size()),
             MPI_INT64_T, MPI_SUM, 0, MPI_COMM_WORLD);
  stage_ = Stage::Combined;
}

std::vector<ProcessInfo> MpiShare::processes() const {
  return job_.rank() == 0 ? processes_ : std::vector<ProcessInfo>{};
}

}  // namespace varnock
