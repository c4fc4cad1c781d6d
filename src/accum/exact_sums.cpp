#include "accum/exact_sums.h"

#include <stdexcept>

namespace varnock {

ExactSums::ExactSums(int SELI, int SELJ)
    : SELI_(SELI), SELJ_(SELJ), ixy_(GRID_CELLS), iuv_(GRID_CELLS), iuv_p_(GRID_CELLS) {}

void ExactSums::add(std::span<const RayRecord> rays) {
  for (const RayRecord& r : rays) {
    if (r.binned()) {
      ixy_[static_cast<std::size_t>(r.ix * GRID_SIZE + r.iy)].add(r.weight);
      iuv_[static_cast<std::size_t>(r.iu * GRID_SIZE + r.iv)].add(r.weight);
      if (r.ix == SELI_ && r.iy == SELJ_) iuv_p_[static_cast<std::size_t>(r.iu * GRID_SIZE + r.iv)].add(r.weight);
    }
    total_.add(r.weight);
  }
}

// Each sum is rounded once; "+ 0.0" because the legacy sums start from
// +0.0, so that weights of -0.0 alone leave +0.0 there too.
void ExactSums::finish(Results& res) {
  res.TOTAL = total_.round() + 0.0;
  for (int i = 0; i < GRID_SIZE; ++i) {
    for (int k = 0; k < GRID_SIZE; ++k) {
      const auto c = static_cast<std::size_t>(i * GRID_SIZE + k);
      res.IXY[i][k] = ixy_[c].round() + 0.0;
      res.IUV[i][k] = iuv_[c].round() + 0.0;
      res.IUV_P[i][k] = iuv_p_[c].round() + 0.0;
    }
  }
}

void ExactSums::merge(const ExactSums& other) {
  total_.merge(other.total_);
  for (std::size_t c = 0; c < ixy_.size(); ++c) {
    ixy_[c].merge(other.ixy_[c]);
    iuv_[c].merge(other.iuv_[c]);
    iuv_p_[c].merge(other.iuv_p_[c]);
  }
}

std::vector<std::uint8_t> ExactSums::serialize() const {
  std::vector<std::uint8_t> out(serialized_size());
  std::uint8_t* at = out.data();
  auto put = [&](const ExactSum& s) {
    s.serialize(at);
    at += ExactSum::serialized_size();
  };
  put(total_);
  for (const std::vector<ExactSum>* grid : {&ixy_, &iuv_, &iuv_p_}) {
    for (const ExactSum& s : *grid) put(s);
  }
  return out;
}

void ExactSums::deserialize(std::span<const std::uint8_t> bytes) {
  if (bytes.size() != serialized_size()) {
    throw std::invalid_argument("exact sums of " + std::to_string(bytes.size()) + " bytes, not " +
                                std::to_string(serialized_size()));
  }
  const std::uint8_t* at = bytes.data();
  auto get = [&](ExactSum& s) {
    s = ExactSum::deserialize(at, ExactSum::serialized_size());
    at += ExactSum::serialized_size();
  };
  get(total_);
  for (std::vector<ExactSum>* grid : {&ixy_, &iuv_, &iuv_p_}) {
    for (ExactSum& s : *grid) get(s);
  }
}

}  // namespace varnock
