#include "report/compare_folders.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string_view>

#include "support/files.h"

namespace varnock {
namespace {

bool is_file(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// The same bytes, read a megabyte at a time: a fan listing can be hundreds
// of megabytes.
bool same_bytes(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec_a, ec_b;
  if (std::filesystem::file_size(a, ec_a) != std::filesystem::file_size(b, ec_b)) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  if (!x) throw ReportError(display(a), 0, "cannot read: " + last_error_text());
  if (!y) throw ReportError(display(b), 0, "cannot read: " + last_error_text());
  std::string p(1 << 20, '\0'), q(1 << 20, '\0');
  for (;;) {
    x.read(p.data(), static_cast<std::streamsize>(p.size()));
    y.read(q.data(), static_cast<std::streamsize>(q.size()));
    if (x.gcount() != y.gcount()) return false;
    if (std::string_view(p.data(), static_cast<std::size_t>(x.gcount())) !=
        std::string_view(q.data(), static_cast<std::size_t>(y.gcount()))) {
      return false;
    }
    if (x.gcount() == 0 || !x || !y) return !x.bad() && !y.bad() && x.eof() == y.eof();
  }
}

double relative_difference(double a, double b) {
  if (a == b || (std::isnan(a) && std::isnan(b))) return 0;
  const double scale = std::max(std::fabs(a), std::fabs(b));
  return std::fabs(a - b) / scale;
}

GridComparison compare_grid(const char* name, const GridValues& a, const GridValues& b,
                            double total) {
  GridComparison g;
  g.name = name;
  double moved = 0;
  for (int i = 0; i < GRID_SIZE; ++i) {
    for (int j = 0; j < GRID_SIZE; ++j) {
      const double d = std::fabs(a[i][j] - b[i][j]);
      moved += d;
      g.largest_cell_difference = std::max(g.largest_cell_difference, d);
    }
  }
  g.moved_share = moved == 0 ? 0 : moved / (2 * total);
  return g;
}

}  // namespace

FolderComparison compare_folders(const std::filesystem::path& a, const std::filesystem::path& b) {
  for (const std::filesystem::path& dir : {a, b}) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
      throw ReportError(display(dir), 0, "is not a folder of results");
    }
  }
  FolderComparison c;
  c.a = read_report(a / REPORT_FILE);
  c.b = read_report(b / REPORT_FILE);
  c.identical = true;
  for (const char* name : {FAN_LISTING_FILE, PASS_MARKER_FILE, REPORT_FILE}) {
    FileComparison f{name, is_file(a / name), is_file(b / name), false};
    f.identical = f.in_a == f.in_b && (!f.in_a || same_bytes(a / name, b / name));
    c.identical = c.identical && f.identical;
    c.files.push_back(f);
  }
  c.total_relative = relative_difference(c.a.total, c.b.total);
  c.transmitted_relative = relative_difference(c.a.transmitted, c.b.transmitted);
  c.grids.push_back(compare_grid("IXY", c.a.IXY, c.b.IXY, c.a.total));
  c.grids.push_back(compare_grid("IUV", c.a.IUV, c.b.IUV, c.a.total));
  c.grids.push_back(compare_grid("IUV_P", c.a.IUV_P, c.b.IUV_P, c.a.total));
  return c;
}

}  // namespace varnock
