// Cell texts convert as atof/atoi convert them in the "C" locale, whatever
// the process locale.
#include "model/c_numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace varnock {
namespace {

TEST(CDouble, TakesTheLongestNumericPrefixAfterBlanks) {
  EXPECT_EQ(parse_c_double("1.5e-3").value, 0.0015);
  EXPECT_EQ(parse_c_double("  \v\f-2.25").value, -2.25);
  EXPECT_EQ(parse_c_double("+7").value, 7.0);
  EXPECT_EQ(parse_c_double(".5").value, 0.5);
  EXPECT_EQ(parse_c_double("5.").value, 5.0);
  EXPECT_EQ(parse_c_double("12.7mm").value, 12.7);
  EXPECT_EQ(parse_c_double("12.7mm").end, 4u);
  EXPECT_EQ(parse_c_double("1e").value, 1.0);    // an exponent needs digits
  EXPECT_EQ(parse_c_double("1e+").end, 1u);
  EXPECT_EQ(parse_c_double("3,5").value, 3.0);   // the point is the separator
}

TEST(CDouble, TextWithoutANumberReadsAsZero) {
  for (const char* text : {"", "   ", "abc", "-", "+-1", "--1", ".", "e5", "x1"}) {
    const ParsedNumber<double> n = parse_c_double(text);
    EXPECT_EQ(n.value, 0.0) << text;
    EXPECT_EQ(n.end, 0u) << text;
  }
}

TEST(CDouble, TakesInfinityNanAndHexadecimalAsStrtodDoes) {
  EXPECT_EQ(parse_c_double("inf").value, std::numeric_limits<double>::infinity());
  EXPECT_EQ(parse_c_double("-Infinity").value, -std::numeric_limits<double>::infinity());
  EXPECT_EQ(parse_c_double("infinite").end, 3u);
  EXPECT_TRUE(std::isnan(parse_c_double("nan").value));
  EXPECT_TRUE(std::isnan(parse_c_double("NAN(123)").value));
  EXPECT_EQ(parse_c_double("0x1.8p1").value, 3.0);
  EXPECT_EQ(parse_c_double("-0X10").value, -16.0);
  EXPECT_EQ(parse_c_double("0x.8").value, 0.5);
  // "0x" without hex digits is the number 0 followed by text.
  EXPECT_EQ(parse_c_double("0xg").value, 0.0);
  EXPECT_EQ(parse_c_double("0xg").end, 1u);
}

TEST(CDouble, OutOfRangeGoesToInfinityOrZero) {
  const ParsedNumber<double> big = parse_c_double("-1e400");
  EXPECT_EQ(big.value, -std::numeric_limits<double>::infinity());
  EXPECT_TRUE(big.out_of_range);
  EXPECT_EQ(parse_c_double("123456789e305").value, std::numeric_limits<double>::infinity());
  EXPECT_EQ(parse_c_double("1e-400").value, 0.0);
  EXPECT_EQ(parse_c_double("0.0000001e-320").value, 0.0);
  EXPECT_EQ(parse_c_double("0x1p99999").value, std::numeric_limits<double>::infinity());
  EXPECT_EQ(parse_c_double("0x1p-99999").value, 0.0);
  EXPECT_EQ(parse_c_double("1e-400xyz").end, 6u);
}

TEST(CDouble, AgreesWithTheCLibraryOnOrdinaryText) {
  for (const char* text : {"0.1", "-3.14159265358979", "1.5e-3", "6.02214076e23", "  42abc",
                           "2.2250738585072014e-308", "4.9e-324", "0.30000000000000004",
                           "1.7976931348623157e308", "0x1.fffffffffffffp1023", "nan", "-inf"}) {
    const double ours = parse_c_double(text).value;
    const double libc = std::atof(text);
    if (std::isnan(libc)) {
      EXPECT_TRUE(std::isnan(ours)) << text;
    } else {
      EXPECT_EQ(ours, libc) << text;
    }
  }
}

TEST(CDouble, IgnoresTheProcessLocale) {
  // A locale with a decimal comma, if the machine has one.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(parse_c_double("1.5").value, 1.5);
  EXPECT_EQ(parse_c_double("1,5").value, 1.0);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(CInt, TakesSignAndDigitsOnly) {
  EXPECT_EQ(parse_c_int("12.7").value, 12);
  EXPECT_EQ(parse_c_int("12.7").end, 2u);
  EXPECT_EQ(parse_c_int("  -8").value, -8);
  EXPECT_EQ(parse_c_int("+3x").value, 3);
  EXPECT_EQ(parse_c_int("1e3").value, 1);
  EXPECT_EQ(parse_c_int("0x10").value, 0);
  for (const char* text : {"", "abc", "-", " + 1", ".5"}) {
    EXPECT_EQ(parse_c_int(text).value, 0) << text;
    EXPECT_EQ(parse_c_int(text).end, 0u) << text;
  }
}

TEST(CInt, SaturatesAtThe32BitLimits) {
  EXPECT_EQ(parse_c_int("2147483647").value, 2147483647);
  EXPECT_FALSE(parse_c_int("2147483647").out_of_range);
  EXPECT_EQ(parse_c_int("-2147483648").value, std::numeric_limits<int>::min());
  EXPECT_FALSE(parse_c_int("-2147483648").out_of_range);
  EXPECT_EQ(parse_c_int("2147483648").value, 2147483647);
  EXPECT_TRUE(parse_c_int("2147483648").out_of_range);
  EXPECT_EQ(parse_c_int("-99999999999999999999999").value, std::numeric_limits<int>::min());
  EXPECT_EQ(parse_c_int("99999999999999999999999rest").end, 23u);
}

TEST(Blank, OnlyCLocaleSpaces) {
  EXPECT_TRUE(is_blank(""));
  EXPECT_TRUE(is_blank(" \t\v\f"));
  EXPECT_FALSE(is_blank(" x"));
}

}  // namespace
}  // namespace varnock
