// Exact summation of doubles, rounded once: the sum does not depend on the
// order of the additions nor on how they are split between accumulators
// that are merged afterwards, so that totals and grid cells come out
// bit-identical for any number of threads or processes.
//
// The method is R. M. Neal's "small superaccumulator" (Fast exact summation
// using small and large superaccumulators, arXiv:1505.05571, 2015): the sum
// is an integer multiple of 2^-1074 kept in signed 64-bit chunks that each
// stand for 32 bits, so that the spare high bits of every chunk absorb the
// carries of many additions before they need to be propagated.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace varnock {

class ExactSum {
 public:
  // Adds the exact value of x. NaN and infinities act as in a plain IEEE
  // sum: any NaN, or +inf and -inf together, make the sum NaN.
  void add(double x);
  // Adds the exact sum of other (which may be *this).
  void merge(const ExactSum& other);
  // The exact sum correctly rounded to the nearest double, ties to even;
  // +/-infinity when it lies beyond the largest double. A zero sum is -0.0
  // only when every value added was -0.0, as in IEEE addition.
  double round() const;

  // A fixed-size byte layout that does not depend on the host's byte order:
  // chunks 0..65 after carry propagation (each then 0 <= c < 2^32) as four
  // bytes each, least significant first; the top chunk as eight bytes of
  // two's complement, least significant first; one byte of flags. The carries
  // are propagated first, so that equal sums give equal bytes whatever the
  // order in which they were built.
  static constexpr std::size_t serialized_size() { return (kChunks - 1) * 4 + 8 + 1; }
  void serialize(std::uint8_t* out) const;
  // Throws std::invalid_argument on a wrong size or bytes that serialize()
  // cannot have written.
  static ExactSum deserialize(const std::uint8_t* in, std::size_t size);

 private:
  // Chunk i stands for chunks_[i] * 2^(32 i - 1074). A finite double is
  // m * 2^(p - 1074) with m < 2^53 and 0 <= p <= 2045, so it touches chunks
  // p/32 and p/32 + 1 <= 64; chunks 65 and 66 only ever receive carries.
  // Chunk 66 stands for 2^1038 and up: with 2^61 there the sum may reach
  // 2^1099, that is 2^75 additions of the largest doubles.
  static constexpr int kChunks = 67;
  static constexpr int kTop = kChunks - 1;
  static constexpr int kChunkBits = 32;
  static constexpr std::uint64_t kChunkMask = (std::uint64_t{1} << kChunkBits) - 1;
  static constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << 52) - 1;
  // An addition puts below 2^32 into one chunk and below 2^52 into the next.
  // Between additions every chunk below the top lies in [-2^62, 2^62): when
  // an addition takes one of its two chunks out of that range, the carries
  // are propagated at once, leaving chunks 0..65 in [0, 2^32). So no chunk
  // exceeds 2^62 + 2^52, with room below 2^63 for an incoming carry (< 2^31)
  // or for merging with a propagated accumulator (< 2^32). It takes more
  // than 1000 additions to fill a chunk again.
  static constexpr std::uint64_t kChunkRange = std::uint64_t{1} << 62;
  // Beyond this the top chunk could overflow on a later merge: such a sum
  // saturates to an infinity of its sign (it rounds to one anyway).
  static constexpr std::int64_t kTopLimit = std::int64_t{1} << 61;

  enum Flag : std::uint8_t {
    kSeenValue = 1,        // anything was added (the empty sum is +0.0)
    kSeenNotNegZero = 2,   // something other than -0.0 was added
    kSeenNaN = 4,
    kSeenPosInf = 8,
    kSeenNegInf = 16,
  };
  static constexpr std::uint8_t kAllFlags = 31;

  using Chunks = std::array<std::int64_t, kChunks>;
  // Leaves chunks 0..65 in [0, 2^32) with the same total.
  static void propagate_carries(Chunks& chunks);
  // Propagates; saturates a sum that left the range.
  void normalize();
  // m 2^(position - 1074), m > 0, negated when negative is 1.
  void add_scaled(std::uint64_t m, unsigned position, std::uint64_t negative);
  // Zeros, subnormals, infinities and NaN.
  void add_rare(std::uint64_t bits);
  std::uint8_t all_flags() const {
    return static_cast<std::uint8_t>(flags_ | (seen_nonzero_ ? kSeenValue | kSeenNotNegZero : 0));
  }

  Chunks chunks_{};
  std::uint8_t flags_ = 0;
  // Kept apart from flags_ so that an addition sets it with a plain store.
  bool seen_nonzero_ = false;
};

// In the header: these are the inner loop of accumulation.
inline void ExactSum::add_scaled(std::uint64_t m, unsigned position, std::uint64_t negative) {
  seen_nonzero_ = true;
  const unsigned chunk = position / kChunkBits;
  const unsigned shift = position % kChunkBits;
  const auto low = static_cast<std::int64_t>((m << shift) & kChunkMask);
  const auto high = static_cast<std::int64_t>(m >> (kChunkBits - shift));
  // Negated without a branch: weights of both signs may alternate.
  const std::int64_t sign = -static_cast<std::int64_t>(negative);
  const std::int64_t a = chunks_[chunk] += (low ^ sign) - sign;
  const std::int64_t b = chunks_[chunk + 1] += (high ^ sign) - sign;
  // Taken as unsigned, c + 2^62 has its top bit set just when c lies
  // outside [-2^62, 2^62).
  const std::uint64_t a_off = static_cast<std::uint64_t>(a) + kChunkRange;
  const std::uint64_t b_off = static_cast<std::uint64_t>(b) + kChunkRange;
  if (((a_off | b_off) >> 63) != 0) normalize();
}

inline void ExactSum::add(double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const auto biased = static_cast<unsigned>(bits >> 52) & 0x7FFu;
  // Normal numbers, biased exponents 1..2046: unsigned, 0 - 1 wraps above.
  if (biased - 1 >= 0x7FE) {
    add_rare(bits);
    return;
  }
  add_scaled((bits & kFractionMask) | (kFractionMask + 1), biased - 1, bits >> 63);
}

}  // namespace varnock
