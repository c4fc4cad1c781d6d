// The lane policy of the fast mode: several rays side by side in one vector
// register, as GCC's vector extensions give them, with the maths functions
// of the instruction set's Maths (SLEEF's 1-ULP functions). + - * / and the
// square root are the processor's IEEE operations, done in the order the
// formulas give (the build never contracts them into fused multiply-adds);
// only tan, sin, cos, atan, asin and acos may differ from the C library's in
// their last bits. Per-ray decisions are masks: select() takes each ray's
// own side, so a lane that is not a number never touches another.
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

namespace varnock::fast {
namespace {

// GCC's vector types of N doubles and of N masks (-1 or 0 per lane).
template <int N>
struct Raw;
template <>
struct Raw<2> {
  typedef double D __attribute__((vector_size(16)));
  typedef long long M __attribute__((vector_size(16)));
};
template <>
struct Raw<4> {
  typedef double D __attribute__((vector_size(32)));
  typedef long long M __attribute__((vector_size(32)));
};
template <>
struct Raw<8> {
  typedef double D __attribute__((vector_size(64)));
  typedef long long M __attribute__((vector_size(64)));
};

template <int N>
struct VecM {
  typename Raw<N>::M m;
};

template <int N>
struct VecD {
  using Raw = typename Raw<N>::D;
  Raw v;

  // Left unset: every model sets a value before
  // it reads it (the SSE2 tracer is run under valgrind to check it), and
  // zeroing the scratch record of every vector of rays costs some 3 %.
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

// Maths provides, on VecD<N>::Raw: tan, atan, asin, acos, sincos (filling
// two raws), sqrt and floor.
template <int N, class Maths>
struct VectorLanes {
  using D = VecD<N>;
  using M = VecM<N>;
  static constexpr int width = N;

  static D tan(D x) { return D(Maths::tan(x.v)); }
  static D atan(D x) { return D(Maths::atan(x.v)); }
  static D asin(D x) { return D(Maths::asin(x.v)); }
  static D acos(D x) { return D(Maths::acos(x.v)); }
  static void sincos(D x, D& s, D& c) { Maths::sincos(x.v, s.v, c.v); }
  static D sqrt(D x) { return D(Maths::sqrt(x.v)); }
  static D floor(D x) { return D(Maths::floor(x.v)); }
  // The sign bit cleared, a not-a-number's payload kept.
  static D fabs(D x) {
    using Bits = typename Raw<N>::M;
    const Bits magnitude = std::bit_cast<Bits>(x.v) & 0x7fffffffffffffffLL;
    return D(std::bit_cast<typename D::Raw>(magnitude));
  }

  static D select(M m, D if_true, D if_false) { return D(m.m ? if_true.v : if_false.v); }
  static M both(M a, M b) { return {a.m & b.m}; }
  static M either(M a, M b) { return {a.m | b.m}; }
  static M negate(M a) { return {~a.m}; }

  static D load(const double* p) {
    D d;
    std::memcpy(&d.v, p, sizeof d.v);
    return d;
  }
  static void store(double* p, D v) { std::memcpy(p, &v.v, sizeof v.v); }
  static M load_mask(const std::uint8_t* p) {
    M m;
    for (int i = 0; i < N; ++i) m.m[i] = p[i] != 0 ? -1 : 0;
    return m;
  }
  static void store_mask(std::uint8_t* p, M m) {
    for (int i = 0; i < N; ++i) p[i] = m.m[i] != 0 ? 1 : 0;
  }
};

}  // namespace
}  // namespace varnock::fast
