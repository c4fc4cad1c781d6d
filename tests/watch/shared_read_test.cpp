// Reading a file beside its writer, as varnock watch reads OUT_M.txt: the
// bytes as they stand, nothing for what is not a readable regular file or
// is larger than asked for.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/platform.h"
#include "support/sheet_builder.h"

namespace varnock {
namespace {

using varnock_test::TempDir;
using varnock_test::write_file;

TEST(ReadFileShared, GivesTheBytesAsTheyStandWhileAWriterHoldsTheFile) {
  TempDir dir;
  const std::string bytes("line\r\n\0binary\xff", 14);
  write_file(dir / "OUT_M.txt", bytes);
  EXPECT_EQ(platform::read_file_shared(dir / "OUT_M.txt", 14), bytes);
  EXPECT_EQ(platform::read_file_shared(dir / "OUT_M.txt", 13), std::nullopt) << "over the limit";

  std::ofstream writer(dir / "OUT_M.txt", std::ios::binary | std::ios::trunc);
  writer << "half";
  writer.flush();
  EXPECT_EQ(platform::read_file_shared(dir / "OUT_M.txt", 1000), "half");
  EXPECT_EQ(platform::read_file_shared(dir / "empty", 1000), std::nullopt) << "missing";
  write_file(dir / "empty", "");
  EXPECT_EQ(platform::read_file_shared(dir / "empty", 0), "");
  EXPECT_EQ(platform::read_file_shared(dir.path(), 1000), std::nullopt) << "a folder";
}

}  // namespace
}  // namespace varnock
