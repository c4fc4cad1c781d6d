#include "accum/pass_tasks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "accum/positions.h"

namespace varnock {

SourcePoint ring_point(const SystemState& sys, int j) {
  const RunParams& p = sys.params;
  const double a = (6.28 * j) / p.NRING;
  return SourcePoint{sys.XC0 + p.RSRC * std::cos(a), sys.YC0 + p.RSRC * std::sin(a)};
}

PassPlan::PassPlan(std::uint64_t positions, std::int64_t slots_per_position,
                   std::int64_t slots_per_task)
    : positions_(positions),
      slots_per_position_(slots_per_position),
      slots_per_task_(slots_per_task > 0 ? slots_per_task : 1) {}

bool PassPlan::next(PassTask& task) {
  if (slots_per_position_ <= 0 || at_.position >= positions_) return false;
  task.begin = at_;
  // Advance by the task's slots, carrying whole positions. No overflow:
  // the slot stays below a position's slots plus a task's.
  const std::int64_t slot = at_.slot + slots_per_task_;
  const std::uint64_t carried = static_cast<std::uint64_t>(slot / slots_per_position_);
  at_.slot = slot % slots_per_position_;
  at_.position = carried >= positions_ - at_.position ? positions_ : at_.position + carried;
  if (at_.position == positions_) at_.slot = 0;
  task.end = at_;
  return true;
}

// Task k covers slots [k S, (k + 1) S) of the run counted in one sequence
// (position p's slot i is number p * slots per position + i), the last one
// cut at the run's end: next() advances by exactly that.
std::uint64_t PassPlan::tasks() const {
  if (slots_per_position_ <= 0 || positions_ == 0) return 0;
  const auto per = static_cast<std::uint64_t>(slots_per_position_);
  const auto size = static_cast<std::uint64_t>(slots_per_task_);
  if (positions_ > (UINT64_MAX - size) / per) return 0;
  const std::uint64_t slots = positions_ * per;
  return slots / size + (slots % size != 0 ? 1 : 0);
}

PassTask PassPlan::task(std::uint64_t k) const {
  const auto per = static_cast<std::uint64_t>(slots_per_position_);
  const auto size = static_cast<std::uint64_t>(slots_per_task_);
  const std::uint64_t slots = positions_ * per;
  const std::uint64_t first = k * size;
  const std::uint64_t last = std::min(slots, first + size);
  PassTask t;
  t.begin = {first / per, static_cast<std::int64_t>(first % per)};
  t.end = {last / per, static_cast<std::int64_t>(last % per)};
  return t;
}

double PassPlan::fraction(const SlotIndex& index) const {
  if (positions_ == 0) return 1;
  const double whole = static_cast<double>(index.position);
  const double part = slots_per_position_ > 0 ? static_cast<double>(index.slot) /
                                                    static_cast<double>(slots_per_position_)
                                              : 0;
  return std::min(1.0, (whole + part) / static_cast<double>(positions_));
}

std::int64_t slots_per_task(int NSURF) {
  const std::int64_t steps_per_task = 131072;
  return std::clamp<std::int64_t>(steps_per_task / std::max(NSURF, 1), 1024, 16384);
}

PassTracer::PassTracer(const SystemState& sys, BlockTracer tracer)
    : sys_(sys),
      tracer_(tracer),
      block_(std::make_unique<RayBlock>()),
      block_weight_(BLOCK_RAYS) {}

void PassTracer::begin_position(std::uint64_t position) {
  const RunParams& p = sys_.params;
  const int k = static_cast<int>(position / static_cast<std::uint64_t>(p.NRING));
  const int j = static_cast<int>(position % static_cast<std::uint64_t>(p.NRING));
  if (k != scan_step_) {
    place_surfaces(sys_, k, ZS_);
    scan_step_ = k;
    set_ = -1;
  }
  source_ = ring_point(sys_, j);
  to_axis_ = toward_axis(source_.X, source_.Y);
}

void PassTracer::use_set(int w) {
  if (w == set_) return;
  prepare_surface_steps(sys_.surf, sys_.params.NSURF, ZS_, w, sys_.PI, steps_);
  set_ = w;
}

int PassTracer::add_rays(int first, int last) {
  RayBlock& b = *block_;
  const FanTable& fan = sys_.fan;
  RayColumns& at = b.side[0];
  // Every fan ray of [first, last] that fits is written into the next
  // place, which moves on only for the rays of non-negative weight: no
  // branch on the weight's sign, which alternates along the cones.
  int k = b.count;
  const int end = std::min(last, first + (BLOCK_RAYS - b.count) - 1);
  for (int n = first; n <= end; ++n) {
    const std::size_t m = static_cast<std::size_t>(n);
    const double W = weight_of(PlaneDirection{fan.EX[m], fan.EY[m]}, to_axis_);
    const std::size_t i = static_cast<std::size_t>(k);
    at.U[i] = fan.UFAN[m];
    at.V[i] = fan.VFAN[m];
    b.TU[i] = fan.TU[m];
    b.TV[i] = fan.TV[m];
    block_weight_[i] = W;
    // Heading away from the axis, or no weight: not traced at all.
    k += W >= 0 ? 1 : 0;
  }
  b.count = k;
  return end + 1;
}

void PassTracer::flush(std::vector<RayRecord>& records, std::vector<RayPlace>* places) {
  RayBlock& b = *block_;
  if (b.count == 0) return;
  b.cur = 0;
  // Every ray of a block leaves the same source point in the plane z = 0.
  RayColumns& start = b.side[0];
  for (int i = 0; i < b.count; ++i) {
    start.X[i] = source_.X;
    start.Y[i] = source_.Y;
    start.Z[i] = 0;
    b.ok[i] = 1;
  }
  // Lanes past the last ray carry copies of the first; nothing reads them.
  const int width = tracer_.width;
  b.padded = (b.count + width - 1) / width * width;
  for (int i = b.count; i < b.padded; ++i) {
    RayColumns& at = b.side[0];
    at.X[i] = at.X[0];
    at.Y[i] = at.Y[0];
    at.Z[i] = at.Z[0];
    at.U[i] = at.U[0];
    at.V[i] = at.V[0];
    b.TU[i] = b.TU[0];
    b.TV[i] = b.TV[0];
    b.ok[i] = b.ok[0];
  }
  b.DXY = sys_.params.DXY;
  b.DUV = sys_.params.DUV;
  tracer_.trace(steps_.data(), static_cast<int>(steps_.size()), b);
  const std::size_t first = records.size();
  records.resize(first + static_cast<std::size_t>(b.count));
  RayRecord* out = records.data() + first;
  for (int i = 0; i < b.count; ++i) {
    out[i] = binned_record(block_weight_[static_cast<std::size_t>(i)], b.cell_x[i], b.cell_y[i],
                           b.cell_u[i], b.cell_v[i]);
  }
  if (places != nullptr) {
    // Both tracers leave the rays at the last surface in at_surface(), the
    // values their cells were taken from.
    const RayColumns& at = b.at_surface();
    places->resize(first + static_cast<std::size_t>(b.count));
    RayPlace* place = places->data() + first;
    for (int i = 0; i < b.count; ++i) place[i] = RayPlace{at.X[i], at.Y[i], at.U[i], at.V[i]};
  }
  b.count = 0;
}

void PassTracer::trace(const PassTask& task, std::vector<RayRecord>& records,
                       std::vector<RayPlace>* places) {
  records.clear();
  if (places != nullptr) places->clear();
  const FanTable& fan = sys_.fan;
  const std::int64_t nray = fan.NRAY;
  const std::int64_t per_position = nray * sys_.params.NSET;
  block_->count = 0;

  for (std::uint64_t position = task.begin.position;; ++position) {
    const bool last = position == task.end.position;
    const std::int64_t from = position == task.begin.position ? task.begin.slot : 0;
    const std::int64_t to = last ? task.end.slot : per_position;
    if (from < to) {
      begin_position(position);
      for (std::int64_t slot = from; slot < to;) {
        // One index set at a time: the block holds rays of one set.
        const int w = static_cast<int>(slot / nray) + 1;
        const std::int64_t set_end = std::min<std::int64_t>(to, static_cast<std::int64_t>(w) * nray);
        use_set(w);
        // Fan ray n of set w is slot (w - 1) NRAY + n - 1.
        const int first = static_cast<int>(slot - static_cast<std::int64_t>(w - 1) * nray) + 1;
        const int last = static_cast<int>(set_end - static_cast<std::int64_t>(w - 1) * nray);
        for (int n = first; n <= last;) {
          n = add_rays(n, last);
          if (block_->count == BLOCK_RAYS) flush(records, places);
        }
        slot = set_end;
        flush(records, places);
      }
    }
    if (last) break;
  }
}

}  // namespace varnock
