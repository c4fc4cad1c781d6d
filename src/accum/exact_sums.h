// Exact sums: TOTAL and every grid cell summed without rounding and rounded
// once at the end, so that the results do not depend on the order in which
// the weights arrive or on how the work was split (threads, processes). The
// correctly rounded sums differ from the legacy running sums in the last
// bits; they are a mode a run opts into.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "accum/exact_sum.h"
#include "accum/fold.h"
#include "varnock/varnock.h"

namespace varnock {

class ExactSums final : public Summation {
 public:
  ExactSums(int SELI, int SELJ);
  void add(std::span<const RayRecord> rays) override;
  void finish(Results& res) override;

  // Adds other's sums (the work of another thread or process).
  void merge(const ExactSums& other);
  // Every accumulator in a fixed layout (TOTAL, then IXY, IUV and IUV_P
  // cell by cell), equal bytes for equal sums; and back. deserialize throws
  // std::invalid_argument for bytes serialize() cannot have written.
  std::vector<std::uint8_t> serialize() const;
  void deserialize(std::span<const std::uint8_t> bytes);
  static constexpr std::size_t serialized_size() {
    return (1 + 3 * static_cast<std::size_t>(GRID_CELLS)) * ExactSum::serialized_size();
  }

 private:
  static constexpr int GRID_CELLS = GRID_SIZE * GRID_SIZE;
  int SELI_, SELJ_;
  ExactSum total_;
  // Cell [i][k] of a grid at i * GRID_SIZE + k.
  std::vector<ExactSum> ixy_, iuv_, iuv_p_;
};

}  // namespace varnock
