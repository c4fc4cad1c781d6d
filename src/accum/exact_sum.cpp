#include "accum/exact_sum.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace varnock {

void ExactSum::propagate_carries(Chunks& chunks) {
  for (int i = 0; i < kTop; ++i) {
    // C++20 defines >> on negative values as an arithmetic shift and & as
    // acting on two's complement: carry = floor(c / 2^32), c - carry 2^32
    // = c & mask.
    const std::int64_t carry = chunks[i] >> kChunkBits;
    chunks[i] &= static_cast<std::int64_t>(kChunkMask);
    chunks[i + 1] += carry;
  }
}

void ExactSum::normalize() {
  propagate_carries(chunks_);
  const std::int64_t top = chunks_[kTop];
  if (top > kTopLimit || top < -kTopLimit) {
    flags_ |= top > 0 ? kSeenPosInf : kSeenNegInf;
    chunks_.fill(0);
  }
}

void ExactSum::add_rare(std::uint64_t bits) {
  const std::uint64_t fraction = bits & kFractionMask;
  const bool negative = (bits >> 63) != 0;
  if (((bits >> 52) & 0x7FF) == 0x7FF) {
    flags_ |= kSeenValue | kSeenNotNegZero;
    flags_ |= fraction != 0 ? kSeenNaN : negative ? kSeenNegInf : kSeenPosInf;
  } else if (fraction != 0) {
    // Subnormals share the exponent of the smallest normals, without the
    // hidden bit.
    add_scaled(fraction, 0, bits >> 63);
  } else {
    flags_ |= negative ? kSeenValue : kSeenValue | kSeenNotNegZero;
  }
}

void ExactSum::merge(const ExactSum& other) {
  // Propagated, these chunks lie in [0, 2^32) and the other's in
  // [-2^62, 2^62): the sums stay in range. When other is *this it is
  // propagated here too, and the sum doubles.
  normalize();
  for (int i = 0; i < kChunks; ++i) chunks_[i] += other.chunks_[i];
  flags_ |= other.all_flags();
  normalize();
}

double ExactSum::round() const {
  ExactSum sum = *this;
  sum.normalize();
  const std::uint8_t flags = sum.all_flags();
  constexpr double inf = std::numeric_limits<double>::infinity();
  if ((flags & kSeenNaN) != 0 || ((flags & kSeenPosInf) != 0 && (flags & kSeenNegInf) != 0)) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  if ((flags & kSeenPosInf) != 0) return inf;
  if ((flags & kSeenNegInf) != 0) return -inf;

  // Round the magnitude: negated chunk by chunk and propagated again, a
  // negative sum becomes positive with chunks 0..65 in [0, 2^32) and the
  // top chunk non-negative.
  Chunks& c = sum.chunks_;
  const bool negative = c[kTop] < 0;
  if (negative) {
    for (auto& chunk : c) chunk = -chunk;
    propagate_carries(c);
  }
  int j = kTop;
  while (j >= 0 && c[j] == 0) --j;
  if (j < 0) {
    const bool only_negative_zeros = (flags & kSeenValue) != 0 && (flags & kSeenNotNegZero) == 0;
    return only_negative_zeros ? -0.0 : 0.0;
  }
  if (j == kTop) return negative ? -inf : inf;  // at least 2^1038

  // The magnitude is M 2^-1074 with the top bit of M at T = 32 j + t.
  const auto top_chunk = static_cast<std::uint64_t>(c[j]);
  const int t = std::bit_width(top_chunk) - 1;
  const int T = kChunkBits * j + t;
  std::uint64_t bits = 0;
  if (T < 53) {
    // Below 2^-1021 every multiple of 2^-1074 is a double, and the bit
    // pattern of a subnormal, or of a normal of the lowest exponent, is M.
    bits = (j == 1 ? top_chunk << kChunkBits : 0) | static_cast<std::uint64_t>(c[0]);
  } else {
    // The 64 bits of M from T down: 53 for the significand, then the
    // rounding bit, then ten bits that join the sticky bit with everything
    // below. T >= 53 means j >= 1; a chunk below 0 reads as zero.
    const auto below = static_cast<std::uint64_t>(c[j - 1]);
    const std::uint64_t next = j >= 2 ? static_cast<std::uint64_t>(c[j - 2]) : 0;
    const unsigned lift = static_cast<unsigned>(31 - t);  // 0..31
    const std::uint64_t window =
        (((top_chunk << kChunkBits) | below) << lift) | (next >> (kChunkBits - lift));
    bool sticky = (window & 0x3FF) != 0 ||
                  (next & ((std::uint64_t{1} << (kChunkBits - lift)) - 1)) != 0;
    for (int i = 0; i < j - 2 && !sticky; ++i) sticky = c[i] != 0;
    std::uint64_t significand = window >> 11;
    const bool round_bit = ((window >> 10) & 1) != 0;
    if (round_bit && (sticky || (significand & 1) != 0)) ++significand;
    // M ~ significand 2^(T - 52), so the value is significand 2^(E - 1075)
    // with the biased exponent E = T - 51 (at least 2: a normal double).
    int exponent = T - 51;
    if ((significand >> 53) != 0) {  // rounded up to 2^53
      significand >>= 1;
      ++exponent;
    }
    if (exponent >= 0x7FF) return negative ? -inf : inf;
    bits = (static_cast<std::uint64_t>(exponent) << 52) | (significand & kFractionMask);
  }
  if (negative) bits |= std::uint64_t{1} << 63;
  return std::bit_cast<double>(bits);
}

void ExactSum::serialize(std::uint8_t* out) const {
  ExactSum sum = *this;
  sum.normalize();
  for (int i = 0; i < kTop; ++i) {
    const auto chunk = static_cast<std::uint64_t>(sum.chunks_[i]);
    for (int b = 0; b < 4; ++b) *out++ = static_cast<std::uint8_t>(chunk >> (8 * b));
  }
  const auto top = static_cast<std::uint64_t>(sum.chunks_[kTop]);
  for (int b = 0; b < 8; ++b) *out++ = static_cast<std::uint8_t>(top >> (8 * b));
  *out = sum.all_flags();
}

ExactSum ExactSum::deserialize(const std::uint8_t* in, std::size_t size) {
  if (size != serialized_size()) throw std::invalid_argument("ExactSum: wrong serialized size");
  ExactSum sum;
  for (int i = 0; i < kTop; ++i) {
    std::uint64_t chunk = 0;
    for (int b = 0; b < 4; ++b) chunk |= std::uint64_t{*in++} << (8 * b);
    sum.chunks_[i] = static_cast<std::int64_t>(chunk);
  }
  std::uint64_t top = 0;
  for (int b = 0; b < 8; ++b) top |= std::uint64_t{*in++} << (8 * b);
  sum.chunks_[kTop] = static_cast<std::int64_t>(top);  // modular in C++20
  sum.flags_ = *in;

  const std::uint8_t flags = sum.flags_;
  const bool any_chunk = std::any_of(sum.chunks_.begin(), sum.chunks_.end(),
                                     [](std::int64_t c) { return c != 0; });
  const bool valid = (flags & ~kAllFlags) == 0 && (flags == 0 || (flags & kSeenValue) != 0) &&
                     (!any_chunk || (flags & kSeenNotNegZero) != 0) &&
                     sum.chunks_[kTop] <= kTopLimit && sum.chunks_[kTop] >= -kTopLimit;
  if (!valid) throw std::invalid_argument("ExactSum: not a serialized sum");
  return sum;
}

}  // namespace varnock
