// The values a study gives a cell: a sweep's list (FROM:TO:COUNT, a comma
// list, or @file with one value a line), a trial's draw (normal:SIGMA or
// uniform:HALFWIDTH about the sheet's value), and the text a value is
// written into the sheet as.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnock {

// FROM:TO:COUNT gives FROM + (TO - FROM) k / (COUNT - 1) for k = 0..COUNT-1
// (COUNT = 1: FROM alone). Throws std::invalid_argument with the reason.
std::vector<double> parse_sweep_values(const std::string& text);

// The shortest text that reads back as the same double.
std::string shortest_text(double value);

// The text a value is written into a cell as: the shortest text, but a
// whole number in a whole-number cell as plain digits (1e+08 would read as
// 1 there). A fraction stays as it is given.
std::string cell_text(double value, bool integer_cell);

struct Jitter {
  enum class Kind { Normal, Uniform } kind = Kind::Normal;
  double width = 0;  // SIGMA, or HALFWIDTH
};
// "normal:0.1", "uniform:0.05". Throws std::invalid_argument.
Jitter parse_jitter(const std::string& text);

// The draw of trial k for a cell, a deviation from its nominal value. The
// generator is keyed on (seed, trial, the cell's spreadsheet name), never on
// the order in which trials run, so trial k is the same wherever it runs:
//   key  = SplitMix64(SplitMix64(seed) xor SplitMix64(trial + c) xor FNV-1a(name)),
//          c = 0x5851F42D4C957F2D, FNV-1a the 64-bit one over the name's bytes
//   u(i) = top 53 bits of SplitMix64(key + i) / 2^53, in [0, 1)
// (SplitMix64 as Steele, Lea and Flood published it). A uniform draw is
// HALFWIDTH (2 u(0) - 1); a normal one is SIGMA times the first accepted
// pair of Marsaglia's polar method, a = 2 u(2m) - 1, b = 2 u(2m + 1) - 1,
// s = a^2 + b^2 in (0, 1): a sqrt(-2 ln s / s).
double jitter_draw(const Jitter& jitter, std::uint64_t seed, std::uint64_t trial,
                   const std::string& cell_name);

// The generator's unit draws, for tests: u(i) of (seed, trial, name).
double unit_draw(std::uint64_t seed, std::uint64_t trial, const std::string& cell_name, std::uint64_t i);

}  // namespace varnock
