#include "accum/fold.h"

namespace varnock {

void SerialSums::add(std::span<const RayRecord> rays) {
  for (const RayRecord& r : rays) {
    if (r.binned()) {
      sums_.IXY[r.ix][r.iy] += r.weight;
      sums_.IUV[r.iu][r.iv] += r.weight;
      if (r.ix == SELI_ && r.iy == SELJ_) sums_.IUV_P[r.iu][r.iv] += r.weight;
    }
    sums_.TOTAL += r.weight;
  }
}

void SerialSums::finish(Results& res) {
  res.TOTAL = sums_.TOTAL;
  res.IXY = sums_.IXY;
  res.IUV = sums_.IUV;
  res.IUV_P = sums_.IUV_P;
}

Fold::Fold(Results& res, Summation& sums, int SELI, int SELJ)
    : res_(res), sums_(sums), SELI_(SELI), SELJ_(SELJ) {}

void Fold::add(std::span<const RayRecord> rays) {
  for (const RayRecord& r : rays) {
    if (!r.binned()) continue;
    ++res_.IXY_rays[r.ix][r.iy];
    ++res_.IUV_rays[r.iu][r.iv];
    if (r.ix == SELI_ && r.iy == SELJ_) ++res_.IUV_P_rays[r.iu][r.iv];
  }
  sums_.add(rays);
  rays_ += static_cast<std::int64_t>(rays.size());
}

void Fold::finish() { sums_.finish(res_); }

}  // namespace varnock
