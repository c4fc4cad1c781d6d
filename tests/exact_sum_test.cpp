// Exact sums, checked bit for bit against exact_sum_reference.py (rational
// arithmetic) and, where every partial sum is exact, against plain addition.
#include "accum/exact_sum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/sheet_builder.h"

namespace varnock {
namespace {

using Values = std::vector<double>;
constexpr double kInf = INFINITY;
constexpr double kTiny = DBL_TRUE_MIN;

std::string bits_text(double x) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llx",
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(x)));
  return std::isnan(x) ? "nan" : text;
}

double exact_sum(const Values& values) {
  ExactSum sum;
  for (double v : values) sum.add(v);
  return sum.round();
}

// Every list summed by the accumulator must match the reference's sum.
void expect_reference(const std::vector<Values>& sums) {
  varnock_test::TempDir dir;
  {
    std::ofstream in(dir / "in.txt");
    for (const Values& values : sums) {
      for (double v : values) {
        char text[40];
        std::snprintf(text, sizeof text, "%a ", v);
        in << (std::isnan(v) ? "nan " : text);
      }
      in << '\n';
    }
  }
  const std::string command = "python3 " VARNOCK_SOURCE_DIR "/tests/exact_sum_reference.py " +
                              (dir / "in.txt").string() + " " + (dir / "out.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream out(dir / "out.txt");
  std::vector<std::string> expected;
  for (std::string line; std::getline(out, line);) expected.push_back(line);
  ASSERT_EQ(expected.size(), sums.size());
  for (std::size_t i = 0; i < sums.size(); ++i) {
    EXPECT_EQ(bits_text(exact_sum(sums[i])), expected[i]) << "list " << i;
  }
}

std::vector<std::uint8_t> bytes_of(const ExactSum& sum) {
  std::vector<std::uint8_t> bytes(ExactSum::serialized_size());
  sum.serialize(bytes.data());
  return bytes;
}

Values repeated(std::size_t n, double x) { return Values(n, x); }
Values join(std::initializer_list<Values> parts) {
  Values all;
  for (const Values& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(ExactSum, FarApartMagnitudesAndTinyValuesBesideHugeOnes) {
  expect_reference({{1e308, 1e-308, -1e308},
                    {1e308, kTiny, 1e-308, -1e308, 5 * kTiny},
                    {DBL_MIN, -kTiny}, {kTiny, kTiny, kTiny}, {1e-320, 1e-321, -3e-322},
                    {-1e308, 1e-300, 1e-200, 1e-100, 1.0},
                    join({{1.0}, repeated(1000, 1e-20), {-1.0}}),
                    join({{1e300}, repeated(3000, 1e-300), {-1e300}, repeated(3000, 1e-300)}),
                    join({{-1e308}, repeated(5000, kTiny), {1e308}}),
                    // Each of these puts nearly 2^52 into one chunk: it fills up
                    // after about 1000 and must carry.
                    join({repeated(3000, 0x1.fffffffffffffp1), repeated(2500, -0x1p-1022)})});
}

TEST(ExactSum, TiesRoundToEvenAndAnythingBeyondBreaksThem) {
  std::vector<Values> sums{{1.0, 0x1p-53}, {1 + 0x1p-52, 0x1p-53}, {0x1p53, 1.0},
                           {0x1p53 + 2, 1.0}, {-1.0, -0x1p-53}, {-1 - 0x1p-52, -0x1p-53}};
  std::mt19937_64 rng(7);
  for (int k = 0; k < 300; ++k) {
    const double sign = (rng() & 1) ? 1 : -1;
    const double a =
        sign * std::ldexp(1 + double(rng() >> 12) * 0x1p-52, int(rng() % 2040) - 1020);
    const double half_ulp = (std::nextafter(a, sign * kInf) - a) / 2;
    sums.push_back({a, half_ulp});
    sums.push_back({half_ulp, (rng() & 1) ? kTiny : -kTiny, a});
  }
  expect_reference(sums);
}

TEST(ExactSum, CancellationLeavesOnlyTheSmallRemainder) {
  std::mt19937_64 rng(11);
  Values values{1e-10, 3e-17, -7e-30};
  for (int k = 0; k < 1500; ++k) {
    const double v = std::ldexp(double(rng() >> 11), int(rng() % 200) - 150);
    values.push_back(v);
    values.push_back(-v);
  }
  std::shuffle(values.begin(), values.end(), rng);
  expect_reference({{1e16, 1.0, -1e16}, values});
}

TEST(ExactSum, SumsBeyondTheLargestDoubleRoundToInfinity) {
  const double half_ulp = 0x1p970;
  expect_reference({{DBL_MAX, DBL_MAX}, {DBL_MAX, DBL_MAX, -DBL_MAX}, {DBL_MAX, half_ulp},
                    {DBL_MAX, half_ulp, -kTiny}, {-DBL_MAX, -half_ulp}, repeated(3000, -DBL_MAX),
                    {DBL_MAX, DBL_MAX, -kInf}, {-DBL_MAX, -DBL_MAX, kInf}});
  // Far more than 2^40 additions' worth, by doubling: exact all the same.
  ExactSum big, minus_big;
  big.add(DBL_MAX);
  minus_big.add(-DBL_MAX);
  for (int k = 0; k < 70; ++k) {
    big.merge(big);
    minus_big.merge(minus_big);
  }
  big.add(1.0);
  big.merge(minus_big);
  EXPECT_EQ(big.round(), 1.0);
  for (int k = 0; k < 20; ++k) minus_big.merge(minus_big);  // beyond 2^1099 it saturates
  EXPECT_EQ(minus_big.round(), -kInf);
}

TEST(ExactSum, NonFiniteValuesAndZerosActAsInPlainAddition) {
  const double nan = std::nan("");
  const std::vector<Values> sums{
      {kInf}, {-kInf}, {kInf, -kInf}, {nan}, {1, kInf, 1}, {kInf, kInf}, {-kInf, 5, -kInf},
      {nan, kInf}, {-kInf, 2, nan}, {}, {-0.0}, {-0.0, -0.0}, {-0.0, 0.0}, {0.0, -0.0},
      {1, -1}, {-1, 1, -0.0}, {-0.0, kTiny, -kTiny}, {-0.0, -kTiny, kTiny, -0.0}};
  for (const Values& values : sums) {
    // Every partial sum here is exact, so plain addition is the IEEE answer.
    double plain = values.empty() ? 0.0 : values[0];
    for (std::size_t i = 1; i < values.size(); ++i) plain += values[i];
    EXPECT_EQ(bits_text(exact_sum(values)), bits_text(plain));
    ExactSum merged;  // the flags travel through merges and bytes too
    for (double v : values) {
      ExactSum one;
      one.add(v);
      merged.merge(one);
    }
    const auto bytes = bytes_of(merged);
    EXPECT_EQ(bits_text(ExactSum::deserialize(bytes.data(), bytes.size()).round()),
              bits_text(plain));
  }
  expect_reference(sums);
}

TEST(ExactSum, OrderGroupingAndSerializationDoNotChangeTheBits) {
  std::mt19937_64 rng(3);
  Values values;
  for (int k = 0; k < 4000; ++k) {
    const std::uint64_t r = rng();
    if (k % 4 == 0) values.push_back(double(r >> 11) * 0x1p-53);  // weights as in practice
    else if (((r >> 52) & 0x7FF) != 0x7FF) values.push_back(std::bit_cast<double>(r));
    if (k % 8 == 1) values.push_back(-values.back());
  }
  expect_reference({values});
  ExactSum in_order;
  for (double v : values) in_order.add(v);
  const double first_round = in_order.round();
  EXPECT_EQ(bits_text(in_order.round()), bits_text(first_round));  // round leaves the sum alone
  for (int trial = 0; trial < 20; ++trial) {
    std::shuffle(values.begin(), values.end(), rng);
    std::vector<ExactSum> parts(1 + rng() % 9);
    for (double v : values) parts[rng() % parts.size()].add(v);
    for (ExactSum& part : parts) {
      if (rng() & 1) {
        const auto bytes = bytes_of(part);
        part = ExactSum::deserialize(bytes.data(), bytes.size());
        EXPECT_EQ(bytes_of(part), bytes);
      }
    }
    std::shuffle(parts.begin(), parts.end(), rng);
    while (parts.size() > 1) {
      const std::size_t into = rng() % (parts.size() - 1);
      parts[into].merge(parts.back());
      parts.pop_back();
    }
    EXPECT_EQ(bytes_of(parts[0]), bytes_of(in_order));
    EXPECT_EQ(bits_text(parts[0].round()), bits_text(first_round));
  }
}

TEST(ExactSum, DeserializeRejectsBytesThatSerializeCannotWrite) {
  ExactSum sum;
  sum.add(-3.5);
  sum.add(kInf);
  auto bytes = bytes_of(sum);
  EXPECT_EQ(ExactSum::deserialize(bytes.data(), bytes.size()).round(), kInf);
  EXPECT_THROW(ExactSum::deserialize(bytes.data(), bytes.size() - 1), std::invalid_argument);
  bytes.back() = 0x80;  // an unknown flag
  EXPECT_THROW(ExactSum::deserialize(bytes.data(), bytes.size()), std::invalid_argument);
  ExactSum one;
  one.add(1.0);
  bytes = bytes_of(one);
  bytes[bytes.size() - 2] = 0x40;  // a top chunk beyond the range
  EXPECT_THROW(ExactSum::deserialize(bytes.data(), bytes.size()), std::invalid_argument);
}

}  // namespace
}  // namespace varnock
