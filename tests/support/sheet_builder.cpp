#include "support/sheet_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

namespace varnock_test {

std::string exact(double v) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", v);
  return buffer;
}

std::string TestSheet::text() const {
  std::map<std::pair<int, int>, std::string> grid;
  auto put = [&](int c, int r, std::string v) { grid[{c, r}] = std::move(v); };
  auto param = [&](int r, const char* label, std::string v) {
    put(1, r, label);
    put(2, r, std::move(v));
  };
  put(0, 0, "Varnock input sheet");
  param(2, "THMIN (rad)", exact(THMIN));
  param(3, "THMAX (rad)", exact(THMAX));
  param(4, "NPHI", std::to_string(NPHI));
  param(5, "NTH", std::to_string(NTH));
  param(6, "RSRC (mm)", exact(RSRC));
  param(7, "WSCAN (mm)", exact(WSCAN));
  param(8, "NRING", std::to_string(NRING));
  param(9, "NSCAN", std::to_string(NSCAN));
  param(10, "DXY (mm)", exact(DXY));
  param(11, "DUV (rad)", exact(DUV));
  param(12, "SELI / SELJ", std::to_string(SELI));
  put(3, 12, std::to_string(SELJ));
  put(0, 13, "Optical system");
  put(0, 14, "NSURF");
  put(1, 14, std::to_string(static_cast<int>(surfaces.size()) - 1));
  put(0, 15, "NSET");
  put(1, 15, std::to_string(NSET));
  const char* headers[] = {"surface", "CV", "TH", "DX", "DY", "type", "PA", "PB"};
  for (int c = 0; c < 8; ++c) put(c, 18, headers[c]);
  for (std::size_t s = 0; s < surfaces.size(); ++s) {
    const SurfaceRow& row = surfaces[s];
    const int r = 19 + static_cast<int>(s);
    put(0, r, s == 0 ? "source" : std::to_string(s));
    put(1, r, exact(row.CV));
    put(2, r, exact(row.TH));
    put(3, r, exact(row.DX));
    put(4, r, exact(row.DY));
    put(5, r, std::to_string(row.type));
    put(6, r, exact(row.PA));
    put(7, r, exact(row.PB));
    for (std::size_t w = 0; w < row.RN.size(); ++w) {
      put(8 + static_cast<int>(w), r, exact(row.RN[w]));
    }
  }
  for (const auto& [where, v] : cells) grid[where] = v;

  int last_row = 0;
  for (const auto& [where, v] : grid) last_row = std::max(last_row, where.second);
  std::string out;
  for (int r = 0; r <= last_row; ++r) {
    int last_col = -1;
    for (const auto& [where, v] : grid) {
      if (where.second == r) last_col = std::max(last_col, where.first);
    }
    for (int c = 0; c <= last_col; ++c) {
      if (c > 0) out += '\t';
      const auto it = grid.find({c, r});
      if (it != grid.end()) out += it->second;
    }
    out += crlf ? "\r\n" : "\n";
  }
  return out;
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  f.close();
  ASSERT_TRUE(f.good()) << "cannot write " << path;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("varnock-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> crlf_lines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "text after the last CR LF: " << bytes.substr(start, 40);
      break;
    }
    std::string line = bytes.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray CR or LF in: " << line;
    lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}

}  // namespace varnock_test
