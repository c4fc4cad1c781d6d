// Exact sums: the grids and TOTAL as the correctly rounded sums of the
// weights, the same bits however the weights are split and merged, and
// runs whose files and maps do not depend on the threads. (The accumulator
// itself is checked against an exact sum in exact_sum_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "accum/exact_sums.h"
#include "support/sheet_builder.h"
#include "varnock/varnock.h"

namespace varnock {
namespace {

std::vector<RayRecord> adversarial_records(std::mt19937_64& random, int count) {
  std::uniform_int_distribution<int> cell(0, GRID_SIZE - 1), kind(0, 9);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<RayRecord> rays;
  for (int i = 0; i < count; ++i) {
    RayRecord r;
    switch (kind(random)) {
      case 0: r.weight = 1e300 * unit(random); break;       // far apart in magnitude
      case 1: r.weight = 4.9e-324 * (1 + (i % 7)); break;  // subnormals
      case 2: r.weight = -0.0; break;
      default: r.weight = unit(random); break;
    }
    if (kind(random) > 0) {  // most land in a few cells, so that cells get many terms
      r.ix = static_cast<std::int8_t>(cell(random) % 3 + 19);
      r.iy = static_cast<std::int8_t>(cell(random) % 3 + 19);
      r.iu = static_cast<std::int8_t>(cell(random));
      r.iv = static_cast<std::int8_t>(cell(random));
    }
    rays.push_back(r);
  }
  return rays;
}

bool same_bits(const Results& a, const Results& b) {
  return std::memcmp(&a.TOTAL, &b.TOTAL, sizeof(double)) == 0 &&
         std::memcmp(&a.IXY, &b.IXY, sizeof a.IXY) == 0 && std::memcmp(&a.IUV, &b.IUV, sizeof a.IUV) == 0 &&
         std::memcmp(&a.IUV_P, &b.IUV_P, sizeof a.IUV_P) == 0;
}

TEST(ExactSums, SplitShuffledAndMergedGiveTheWholeSumsBits) {
  std::mt19937_64 random(20261208);
  std::vector<RayRecord> rays = adversarial_records(random, 20000);
  ExactSums whole(20, 20);
  whole.add(rays);
  Results expected;
  whole.finish(expected);
  EXPECT_FALSE(std::signbit(expected.IXY[0][0]));  // the sums start from +0.0, as the legacy ones
  for (int round = 0; round < 4; ++round) {
    std::shuffle(rays.begin(), rays.end(), random);
    const std::size_t parts = 2 + static_cast<std::size_t>(round);
    ExactSums merged(20, 20);
    for (std::size_t k = 0; k < parts; ++k) {
      const std::size_t from = rays.size() * k / parts, to = rays.size() * (k + 1) / parts;
      ExactSums part(20, 20);
      part.add(std::span<const RayRecord>(rays).subspan(from, to - from));
      if (k % 2 == 1) {  // through the bytes another process would send
        ExactSums received(20, 20);
        received.deserialize(part.serialize());
        merged.merge(received);
      } else {
        merged.merge(part);
      }
    }
    Results got;
    merged.finish(got);
    EXPECT_TRUE(same_bits(expected, got)) << "split into " << parts;
    EXPECT_EQ(merged.serialize(), whole.serialize());
  }
  ExactSums bad(20, 20);
  EXPECT_THROW(bad.deserialize(std::vector<std::uint8_t>(10)), std::invalid_argument);
}

// The examples with exact sums on 1, 2 and 3 threads: the same maps bit for
// bit and the same files, and every cell within 1e-12 of the legacy sums.
TEST(ExactSumsRun, SameBitsOnAnyThreadsAndCloseToTheSerialSums) {
  for (const char* example : {"condenser.txt", "reflector.txt", "homogeniser.txt"}) {
    const std::filesystem::path sheet = std::filesystem::path(VARNOCK_SOURCE_DIR) / "examples" / example;
    varnock_test::TempDir serial_dir;
    Session serial_session;
    const RunResult serial = serial_session.run(sheet, serial_dir.path());
    ASSERT_TRUE(serial.ok()) << serial.failure().describe();
    std::optional<RunSuccess> first;
    std::string first_report;
    for (unsigned threads : {1u, 2u, 3u}) {
      varnock_test::TempDir dir;
      RunOptions options;
      options.threads = threads;
      options.exact_sums = true;
      Session session;
      const RunResult r = session.run(sheet, dir.path(), options);
      ASSERT_TRUE(r.ok()) << r.failure().describe();
      EXPECT_STREQ(r.success().sums, "exact");
      const std::string report = varnock_test::read_file(dir / "OUT_M.txt");
      if (!first) {
        first = r.success();
        first_report = report;
        continue;
      }
      const RunMaps& a = first->maps;
      const RunMaps& b = r.success().maps;
      EXPECT_EQ(std::memcmp(&a.IXY, &b.IXY, sizeof a.IXY), 0) << example << ", " << threads << " threads";
      EXPECT_EQ(std::memcmp(&a.IUV, &b.IUV, sizeof a.IUV), 0) << example << ", " << threads << " threads";
      EXPECT_EQ(std::memcmp(&a.IUV_P, &b.IUV_P, sizeof a.IUV_P), 0) << example << ", " << threads << " threads";
      EXPECT_EQ(report, first_report) << example << ", " << threads << " threads";
    }
    const RunMaps& e = first->maps;
    const RunMaps& s = serial.success().maps;
    auto close = [](double x, double y) { return x == y || std::fabs(x - y) <= 1e-12 * std::fabs(y); };
    EXPECT_TRUE(close(first->totals.total, serial.success().totals.total)) << example;
    for (int i = 0; i < GRID_SIZE; ++i) {
      for (int k = 0; k < GRID_SIZE; ++k) {
        EXPECT_TRUE(close(e.IXY[i][k], s.IXY[i][k])) << example << " IXY " << i << " " << k;
        EXPECT_TRUE(close(e.IUV[i][k], s.IUV[i][k])) << example << " IUV " << i << " " << k;
        EXPECT_TRUE(close(e.IUV_P[i][k], s.IUV_P[i][k])) << example << " IUV_P " << i << " " << k;
      }
    }
  }
}

}  // namespace
}  // namespace varnock
