// Evaluates the maths functions the core calls, on given arguments, and
// prints the bit patterns of the results, so that the C runtime of one
// platform can be set against another's argument by argument. Built for
// Windows (run under Wine) and for Linux from this one source.
//
//   math_probe ARGUMENTS RESULTS
//
// ARGUMENTS holds lines "FUNCTION ARG" with ARG the 16 hex digits of a
// double's bits; RESULTS gets "FUNCTION ARG RESULT" for each line, where
// sincos gives "SIN,COS". The functions are called through pointers, as
// the library calls them, so that the compiler evaluates none of them itself.
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

namespace {

// sincos is a GNU extension that both platforms' maths libraries provide;
// the compiler calls it wherever the library takes the sine and the cosine
// of one angle.
extern "C" void sincos(double, double*, double*);

std::uint64_t bits_of(double v) { return std::bit_cast<std::uint64_t>(v); }
double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }

std::string hex(double v) {
  char text[20];
  std::snprintf(text, sizeof text, "%016" PRIx64, bits_of(v));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: math_probe ARGUMENTS RESULTS\n";
    return 2;
  }
  using Unary = double (*)(double);
  static volatile Unary sin_fn = ::sin, cos_fn = ::cos, tan_fn = ::tan, atan_fn = ::atan,
                        asin_fn = ::asin, acos_fn = ::acos, sqrt_fn = ::sqrt;
  static void (*volatile sincos_fn)(double, double*, double*) = ::sincos;
  const std::map<std::string, volatile Unary*> unary = {
      {"sin", &sin_fn},   {"cos", &cos_fn},   {"tan", &tan_fn},  {"atan", &atan_fn},
      {"asin", &asin_fn}, {"acos", &acos_fn}, {"sqrt", &sqrt_fn}};

  std::ifstream in(argv[1]);
  std::ofstream out(argv[2], std::ios::binary);
  if (!in || !out) {
    std::cerr << "math_probe: cannot open " << argv[1] << " or " << argv[2] << '\n';
    return 1;
  }
  // Where the sine and cosine come from the x87 unit, the precision the
  // process set there decides how they round: it is reported.
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  const unsigned precision = (control >> 8) & 3u;
  std::cout << "x87 precision control: " << (precision == 3 ? 64 : precision == 2 ? 53 : 24)
            << " bits\n";
  std::string name, arg;
  while (in >> name >> arg) {
    const double x = from_bits(std::strtoull(arg.c_str(), nullptr, 16));
    out << name << ' ' << arg << ' ';
    if (name == "sincos") {
      double s = 0, c = 0;
      sincos_fn(x, &s, &c);
      out << hex(s) << ',' << hex(c) << '\n';
    } else if (auto f = unary.find(name); f != unary.end()) {
      out << hex((*f->second)(x)) << '\n';
    } else {
      std::cerr << "math_probe: unknown function " << name << '\n';
      return 1;
    }
  }
  return out ? 0 : 1;
}
