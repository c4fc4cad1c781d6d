// Numbers print as printf's %f and %10.6f print them, with a sign-free nan.
#include "support/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace varnock {
namespace {

std::string fixed(double v) {
  std::string s;
  append_fixed(s, v);
  return s;
}

std::string w10(double v) {
  std::string s;
  append_fixed_w10(s, v);
  return s;
}

std::string printf_text(const char* format, double v) {
  std::vector<char> buffer(512);
  std::snprintf(buffer.data(), buffer.size(), format, v);
  return buffer.data();
}

TEST(NumberText, MatchesPrintfOnTheEdgesOfRounding) {
  for (double v : {0.0, -0.0, 1234.5, 12345.678, 0.5, 0.0000005, 0.0000015, 0.0000025, -0.0000004,
                   1e-7, 2.5e-6, 999999.9999995, 1e15, 1e22, 1.7976931348623157e308,
                   4.9406564584124654e-324, 0.1 + 0.2, -3.14159265358979}) {
    EXPECT_EQ(fixed(v), printf_text("%f", v)) << v;
    EXPECT_EQ(w10(v), printf_text("%10.6f", v)) << v;
  }
}

TEST(NumberText, MatchesPrintfOnRandomDoubles) {
  std::mt19937_64 rng(2024);
  std::uniform_int_distribution<int> exponent(-12, 12);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  for (int i = 0; i < 20000; ++i) {
    const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    ASSERT_EQ(fixed(v), printf_text("%f", v)) << v;
    ASSERT_EQ(w10(v), printf_text("%10.6f", v)) << v;
  }
}

TEST(NumberText, NanHasNoSignAndInfinitiesKeepTheirs) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(fixed(nan), "nan");
  EXPECT_EQ(fixed(-nan), "nan");
  EXPECT_EQ(fixed(std::numeric_limits<double>::infinity()), "inf");
  EXPECT_EQ(fixed(-std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(w10(-nan), "       nan");
  EXPECT_EQ(w10(-std::numeric_limits<double>::infinity()), "      -inf");
}

TEST(NumberText, WidthPadsButNeverCuts) {
  EXPECT_EQ(w10(0), "  0.000000");
  EXPECT_EQ(w10(12345.678), "12345.678000");
  EXPECT_EQ(fixed(1e300).size(), 301u + 7u);
}

TEST(NumberText, Integers) {
  std::string s;
  append_int(s, -1);
  s += '-';
  append_int(s, std::numeric_limits<int>::min());
  EXPECT_EQ(s, "-1--2147483648");
}

}  // namespace
}  // namespace varnock
