// The fold: the one place where traced rays reach the results. Records
// arrive task by task in the serial order (positions in turn, index sets in
// increasing order, fan rays in increasing order); the fold counts the rays
// that land in each cell and hands the weights to the summation, the one
// step another way of summing replaces.
#pragma once

#include <cstdint>
#include <span>

#include "accum/ray_record.h"
#include "model/model.h"

namespace varnock {

// How the weights become TOTAL and the grids.
class Summation {
 public:
  virtual ~Summation() = default;
  // The records of one task, in order: every weight belongs to TOTAL, a
  // binned ray's to its IXY and IUV cells and, when it lands in the
  // selected IXY cell, to its IUV_P cell.
  virtual void add(std::span<const RayRecord> rays) = 0;
  // Writes TOTAL and the three grids into res.
  virtual void finish(Results& res) = 0;
};

// The legacy sums: one running double for TOTAL and for every cell, each
// receiving its terms in the order they arrive. This is what the files of
// the legacy library hold, bit for bit.
class SerialSums final : public Summation {
 public:
  SerialSums(int SELI, int SELJ) : SELI_(SELI), SELJ_(SELJ) {}
  void add(std::span<const RayRecord> rays) override;
  void finish(Results& res) override;

 private:
  int SELI_, SELJ_;
  Results sums_;
};

class Fold {
 public:
  // Counts go to res as the rays arrive; the sums when finish() is called.
  Fold(Results& res, Summation& sums, int SELI, int SELJ);
  void add(std::span<const RayRecord> rays);
  void finish();
  std::int64_t rays() const { return rays_; }

 private:
  Results& res_;
  Summation& sums_;
  int SELI_, SELJ_;
  std::int64_t rays_ = 0;
};

}  // namespace varnock
