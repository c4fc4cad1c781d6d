// Builds input sheets for tests in the layout the front end writes: labels
// in the free cells, values in the fixed ones, CR LF lines.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace varnock_test {

struct SurfaceRow {
  double CV = 0, TH = 0, DX = 0, DY = 0;
  int type = 1;
  double PA = 0, PB = 0;
  std::vector<double> RN;  // index sets 1..n
};

struct TestSheet {
  double THMIN = 0, THMAX = 0.3;
  int NPHI = 24, NTH = 3;
  double RSRC = 1, WSCAN = 0;
  int NRING = 4, NSCAN = 1;
  double DXY = 0.5, DUV = 0.01;
  int SELI = 20, SELJ = 20;
  int NSET = 1;
  // Row 0 is the source plane; NSURF is the number of rows after it.
  std::vector<SurfaceRow> surfaces{SurfaceRow{0, 10, 0, 0, 1, 0, 0, {1.0}}};
  // Raw cell texts that replace what the fields above would write, keyed by
  // (column, row) counted from 0.
  std::map<std::pair<int, int>, std::string> cells;
  bool crlf = true;

  std::string text() const;
};

// A real as the sheet holds it: enough digits to read back the same double.
std::string exact(double v);

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The lines of a file split at CR LF; a lone LF or CR, or text after the
// last CR LF, fails the test.
std::vector<std::string> crlf_lines(const std::string& bytes);

}  // namespace varnock_test
