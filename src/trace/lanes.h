// The number type the surface models compute on. Every model is written once
// over a lane policy L: L::D holds one value for each of L::width rays side
// by side and L::M one truth value per ray. The exact engine uses one ray per
// lane group (a plain double and the C library's maths); a vector policy
// holds several rays and may use other maths functions, while + - * / and
// the square root stay IEEE operations in the order the formulas give.
//
// A per-ray decision is a mask: both sides are computed and select() picks
// each ray's own, so that a not-a-number in one ray never touches another.
// Decisions that depend only on surface data (a curvature of 0, the sign of
// an index) are the same for every ray and stay plain branches.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace varnock {

struct ScalarLanes {
  using D = double;
  using M = bool;
  static constexpr int width = 1;
  static constexpr const char* name = "scalar";

  static D tan(D x) { return std::tan(x); }
  static D atan(D x) { return std::atan(x); }
  static D asin(D x) { return std::asin(x); }
  static D acos(D x) { return std::acos(x); }
  // sin and cos of one angle (the compiler makes this one sincos call).
  static void sincos(D x, D& s, D& c) {
    s = std::sin(x);
    c = std::cos(x);
  }
  static D sqrt(D x) { return std::sqrt(x); }
  static D floor(D x) { return std::floor(x); }
  static D fabs(D x) { return std::fabs(x); }

  static D select(M m, D if_true, D if_false) { return m ? if_true : if_false; }
  static M both(M a, M b) { return a && b; }
  static M either(M a, M b) { return a || b; }
  static M negate(M a) { return !a; }

  static D load(const double* p) { return *p; }
  static void store(double* p, D v) { *p = v; }
  static M load_mask(const std::uint8_t* p) { return *p != 0; }
  static void store_mask(std::uint8_t* p, M m) { *p = m ? 1 : 0; }
  // The value of lane i, for the binning.
  static double lane(D v, int) { return v; }
};

inline constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

}  // namespace varnock
