// The source-position passes of a run, cut into tasks for the threads.
//
// Slot i of source position p is fan ray i % NRAY + 1 of index set
// i / NRAY + 1, so the run's serial order (positions in turn, within each
// the index sets in increasing order and within a set the fan rays) is the
// order of (p, i). A task is a run of consecutive slots of about the same
// tracing work, within one position or spanning several small ones; its
// traced rays become records in that order, which the fold adds up.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "accum/binning.h"
#include "accum/ray_record.h"
#include "model/model.h"
#include "trace/ray_block.h"

namespace varnock {

struct SlotIndex {
  std::uint64_t position = 0;
  std::int64_t slot = 0;  // 0 .. slots per position - 1
};

struct PassTask {
  SlotIndex begin, end;  // [begin, end) in the serial order
};

// Hands the tasks out in order.
class PassPlan {
 public:
  PassPlan(std::uint64_t positions, std::int64_t slots_per_position, std::int64_t slots_per_task);
  bool next(PassTask& task);
  // The tasks next() hands out, counted, and task k of them directly (for
  // a run whose tasks are shared among processes). tasks() is 0 when the
  // run's slots cannot be counted in 64 bits.
  std::uint64_t tasks() const;
  PassTask task(std::uint64_t k) const;
  // The share of the run's slots before index.
  double fraction(const SlotIndex& index) const;

 private:
  std::uint64_t positions_;
  std::int64_t slots_per_position_;
  std::int64_t slots_per_task_;
  SlotIndex at_;
};

// Slots per task for a system of NSURF surfaces: some tens of thousands of
// ray-surface steps, a few milliseconds of one thread, so that a run can be
// stopped between tasks within a fraction of a second.
std::int64_t slots_per_task(int NSURF);

// Traces tasks for one thread: a task's rays of non-negative weight go
// through the block tracer a block at a time and leave a record each.
class PassTracer {
 public:
  // The tracer that runs the blocks; the exact one by default.
  explicit PassTracer(const SystemState& sys, BlockTracer tracer = {});

  // Replaces records with the records of the task's traced rays, in order;
  // with places, also replaces *places with where the same rays landed, one
  // for one (for smoothed maps; other runs pass none and pay nothing).
  void trace(const PassTask& task, std::vector<RayRecord>& records,
             std::vector<RayPlace>* places = nullptr);

 private:
  void begin_position(std::uint64_t position);
  void use_set(int w);
  // Puts the fan rays of non-negative weight of [first, last] into the
  // block until it is full; returns the first fan ray not looked at.
  int add_rays(int first, int last);
  void flush(std::vector<RayRecord>& records, std::vector<RayPlace>* places);

  const SystemState& sys_;
  BlockTracer tracer_;
  std::unique_ptr<RayBlock> block_;
  std::vector<double> block_weight_;   // weight of each ray in the block
  int scan_step_ = -1;                 // scan step of ZS_
  int set_ = -1;                       // index set of steps_
  SurfaceArray ZS_{};
  SurfaceSteps steps_;
  SourcePoint source_;
  PlaneDirection to_axis_;
};

// What a task of a run leaves for the fold: the records of its traced rays
// and, only in a run with smoothed maps, where each of them landed.
struct TracedRays {
  std::vector<RayRecord> records;
  std::vector<RayPlace> places;
};

}  // namespace varnock
