// The lane policy of the fast mode: several rays side by side in one vector
// register, as GCC's vector extensions give them. Only IEEE operations:
// + - * /, the square root and the floor, done in the order the formulas
// give (the build never contracts them into fused multiply-adds). Every
// one of them is correctly rounded or exact on every instruction set, so
// the paths give the same bits, lane by lane, as one ray at a time does.
// Per-ray decisions are masks: select() takes each ray's own side, so a
// lane that is not a number never touches another.
//
// Every instruction set's tracer is a translation unit of its own, built
// with that set's compiler flags. Everything here lies in an unnamed
// namespace, so that each of them keeps its own copy and none shares an
// out-of-line function with code built for another set: the linker can never
// hand an AVX-512 helper to a processor without AVX-512. The tests check the
// objects for it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

// The fast steps are one chain of arithmetic per ray group: every helper is
// inlined into the loop over the block, whatever the compiler's estimate.
#define VARNOCK_INLINE [[gnu::always_inline]] inline

namespace varnock::fast {
namespace {

// GCC's vector types of N doubles and of N masks (-1 or 0 per lane).
template <int N>
struct Raw {
  typedef double D __attribute__((vector_size(8 * N)));
  typedef long long M __attribute__((vector_size(8 * N)));
};

template <int N>
struct VecM {
  typename Raw<N>::M m;
};

template <int N>
struct VecD {
  using Raw = typename Raw<N>::D;
  Raw v;

  // Left unset: every step sets a value before it reads it (the SSE2
  // tracer is run under valgrind to check it).
  VecD() {}
  // The same value in every lane: -0 and not-a-numbers exactly as given.
  VecD(double x) {  // NOLINT: a number stands for the vector of it
    for (int i = 0; i < N; ++i) v[i] = x;
  }
  explicit VecD(Raw r) : v(r) {}

  VecD operator-() const { return VecD(-v); }
  friend VecD operator+(VecD a, VecD b) { return VecD(a.v + b.v); }
  friend VecD operator-(VecD a, VecD b) { return VecD(a.v - b.v); }
  friend VecD operator*(VecD a, VecD b) { return VecD(a.v * b.v); }
  friend VecD operator/(VecD a, VecD b) { return VecD(a.v / b.v); }
  // IEEE comparisons: false when either side is not a number, but for !=.
  friend VecM<N> operator>(VecD a, VecD b) { return {a.v > b.v}; }
  friend VecM<N> operator<(VecD a, VecD b) { return {a.v < b.v}; }
  friend VecM<N> operator>=(VecD a, VecD b) { return {a.v >= b.v}; }
  friend VecM<N> operator<=(VecD a, VecD b) { return {a.v <= b.v}; }
  friend VecM<N> operator==(VecD a, VecD b) { return {a.v == b.v}; }
  friend VecM<N> operator!=(VecD a, VecD b) { return {a.v != b.v}; }
};

// Maths provides sqrt and floor on VecD<N>::Raw, each the processor's
// correctly rounded (or exact) operation.
template <int N, class Maths>
struct VectorLanes {
  using D = VecD<N>;
  using M = VecM<N>;
  static constexpr int width = N;

  static D sqrt(D x) { return D(Maths::sqrt(x.v)); }
  static D floor(D x) { return D(Maths::floor(x.v)); }
  // The sign bit cleared, a not-a-number's payload kept.
  static D fabs(D x) {
    using Bits = typename Raw<N>::M;
    const Bits magnitude = std::bit_cast<Bits>(x.v) & 0x7fffffffffffffffLL;
    return D(std::bit_cast<typename D::Raw>(magnitude));
  }
  // x with the sign bit of s.
  static D with_sign_of(D x, D s) {
    using Bits = typename Raw<N>::M;
    const Bits sign = std::bit_cast<Bits>(s.v) & static_cast<long long>(0x8000000000000000ULL);
    const Bits magnitude = std::bit_cast<Bits>(x.v) & 0x7fffffffffffffffLL;
    return D(std::bit_cast<typename D::Raw>(magnitude | sign));
  }

  static D select(M m, D if_true, D if_false) { return D(m.m ? if_true.v : if_false.v); }
  static M both(M a, M b) { return {a.m & b.m}; }
  static M either(M a, M b) { return {a.m | b.m}; }
  static M negate(M a) { return {~a.m}; }
  static M all_true() { return {typename Raw<N>::M{} == typename Raw<N>::M{}}; }
  static bool any(M a) {
    long long seen = 0;
    for (int i = 0; i < N; ++i) seen |= a.m[i];
    return seen != 0;
  }

  static D load(const double* p) {
    D d;
    std::memcpy(&d.v, p, sizeof d.v);
    return d;
  }
  static void store(double* p, D v) { std::memcpy(p, &v.v, sizeof v.v); }
  // Masks kept in memory as 0 or -1 per ray.
  static M load_mask(const std::int64_t* p) {
    M m;
    std::memcpy(&m.m, p, sizeof m.m);
    return m;
  }
  static void store_mask(std::int64_t* p, M m) { std::memcpy(p, &m.m, sizeof m.m); }
  static double lane(D v, int i) { return v.v[i]; }
};

// floor on two lanes with SSE2 alone, which has no rounding instruction:
// adding and taking away 2^52 rounds a magnitude below 2^52 to an integer
// exactly, and a step of one mends the rounding up. Exact, like any floor:
// the same bits as the rounding instruction of the wider sets, -0 and
// not-a-numbers included.
template <class R>
inline R floor_by_rounding(R x) {
  constexpr double two52 = 4503599627370496.0;
  const VecD<2> v(x);
  using L = VectorLanes<2, void>;
  const VecD<2> a = L::fabs(v);
  const VecD<2> nearest = (a + VecD<2>(two52)) - VecD<2>(two52);
  const VecD<2> down = L::select(nearest > a, nearest - VecD<2>(1.0), nearest);  // floor |x|
  const VecD<2> up = L::select(nearest < a, nearest + VecD<2>(1.0), nearest);    // ceil |x|
  const VecD<2> f = L::select(v < VecD<2>(0.0), -up, down);
  const VecD<2> kept = L::select(L::either(L::negate(a < VecD<2>(two52)), v == VecD<2>(0.0)), v, f);
  return kept.v;
}

}  // namespace
}  // namespace varnock::fast

