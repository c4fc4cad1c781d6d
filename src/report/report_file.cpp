#include "report/report_file.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

#include "run/report.h"
#include "support/files.h"

namespace varnock {
namespace {

constexpr int REPORT_LINES = 132;

// The labels in UTF-8, for reports a tool has re-encoded.
const char* const LABEL_TOTAL_UTF8 = "\xE3\x83\x88\xE3\x83\xBC\xE3\x82\xBF\xE3\x83\xAB\xE5\x85\x89\xE7\xB7\x9A\xE6\x95\xB0";
const char* const LABEL_TRANS_UTF8 = "\xE9\x80\x8F\xE9\x81\x8E\xE5\x85\x89\xE7\xB7\x9A\xE6\x95\xB0";
const char* const LABEL_RATIO_UTF8 = "\xE9\x80\x8F\xE9\x81\x8E\xE5\x85\x89\xE7\xB7\x9A\xE6\xAF\x94";

class Reader {
 public:
  Reader(std::string_view bytes, std::string name) : name_(std::move(name)) {
    if (bytes.empty()) fail(0, "the file is empty: not a report (a failed run leaves it so)");
    std::size_t start = 0;
    while (start < bytes.size()) {
      const std::size_t end = bytes.find('\n', start);
      if (end == std::string_view::npos) {
        lines_.emplace_back(bytes.substr(start));
        truncated_ = true;
        break;
      }
      std::string_view line = bytes.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.emplace_back(line);
      start = end + 1;
    }
    if (lines_.size() < REPORT_LINES || (truncated_ && lines_.size() == REPORT_LINES)) {
      fail(static_cast<int>(lines_.size()),
           "the report ends after " + std::to_string(lines_.size()) + " of its " +
               std::to_string(REPORT_LINES) + " lines: it is truncated or not a report");
    }
    if (lines_.size() > REPORT_LINES) {
      fail(REPORT_LINES + 1, "more than " + std::to_string(REPORT_LINES) + " lines: not a report");
    }
  }

  [[noreturn]] void fail(int line, const std::string& message) const {
    throw ReportError(name_, line, message);
  }

  std::string_view line(int number) const { return lines_[static_cast<std::size_t>(number - 1)]; }

  // A number as %f wrote it.
  double number(std::string_view text, int line_number, const char* what) const {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    const bool negative = !t.empty() && t.front() == '-';
    std::string_view magnitude = negative ? t.substr(1) : t;
    if (magnitude == "nan" || magnitude.rfind("nan(", 0) == 0 || magnitude == "1.#IND00" ||
        magnitude == "1.#QNAN0") {
      return std::numeric_limits<double>::quiet_NaN();
    }
    if (magnitude == "inf" || magnitude == "1.#INF00") {
      return negative ? -std::numeric_limits<double>::infinity()
                      : std::numeric_limits<double>::infinity();
    }
    double value = 0;
    const auto result = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || result.ec != std::errc() || result.ptr != t.data() + t.size()) {
      fail(line_number, std::string("expected ") + what + ", found \"" + std::string(text) + "\"");
    }
    return value;
  }

  // "LABEL\t\tnumber" with one of the label's spellings.
  double total_line(int number_, const std::string& sjis, const char* utf8, const char* what) const {
    const std::string_view l = line(number_);
    const std::size_t tabs = l.find("\t\t");
    if (tabs == std::string_view::npos ||
        (l.substr(0, tabs) != sjis && l.substr(0, tabs) != utf8)) {
      fail(number_, std::string("expected the line of the ") + what);
    }
    return number(l.substr(tabs + 2), number_, what);
  }

  // "PREFIX<inner>SUFFIX": the inner text.
  std::string_view header(int number_, std::string_view prefix, std::string_view suffix) const {
    const std::string_view l = line(number_);
    if (l.size() < prefix.size() + suffix.size() || l.substr(0, prefix.size()) != prefix ||
        l.substr(l.size() - suffix.size()) != suffix) {
      fail(number_, "expected the header " + std::string(prefix) + "..." + std::string(suffix));
    }
    return l.substr(prefix.size(), l.size() - prefix.size() - suffix.size());
  }

  void empty_line(int number_) const {
    if (!line(number_).empty()) fail(number_, "expected an empty line");
  }

  // Lines first..first+40: line j lists cells [0][j] .. [40][j], each
  // followed by a tab.
  void grid(int first, GridValues& g) const {
    for (int j = 0; j < GRID_SIZE; ++j) {
      const int n = first + j;
      std::string_view l = line(n);
      for (int i = 0; i < GRID_SIZE; ++i) {
        const std::size_t tab = l.find('\t');
        if (tab == std::string_view::npos) {
          fail(n, "expected 41 tab-ended cells, found " + std::to_string(i));
        }
        g[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = number(l.substr(0, tab), n, "a cell");
        l.remove_prefix(tab + 1);
      }
      if (!l.empty()) fail(n, "more than 41 cells");
    }
  }

  int integer(std::string_view text, int line_number) const {
    int value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()) {
      fail(line_number, "expected a whole number, found \"" + std::string(text) + "\"");
    }
    return value;
  }

 private:
  std::string name_;
  std::vector<std::string_view> lines_;
  bool truncated_ = false;
};

}  // namespace

ReportError::ReportError(std::string file, int line, const std::string& message)
    : std::runtime_error(file + (line > 0 ? ": line " + std::to_string(line) : std::string()) + ": " +
                         message),
      file_(std::move(file)),
      line_(line) {}

ReportFile parse_report(std::string_view bytes, const std::string& name) {
  const Reader r(bytes, name);
  ReportFile rep;
  rep.total = r.total_line(1, LABEL_TOTAL, LABEL_TOTAL_UTF8, "total");
  rep.transmitted = r.total_line(2, LABEL_TRANS, LABEL_TRANS_UTF8, "transmitted total");
  rep.ratio = r.total_line(3, LABEL_RATIO, LABEL_RATIO_UTF8, "ratio");
  r.empty_line(4);
  rep.DXY = r.number(r.header(5, "IXY[i][j](", "mm)"), 5, "the IXY pitch");
  r.grid(6, rep.IXY);
  r.empty_line(47);
  rep.DUV = r.number(r.header(48, "IUV[i][j](", "rad)"), 48, "the IUV pitch");
  r.grid(49, rep.IUV);
  r.empty_line(90);
  const std::string_view cell = r.header(91, "IUV_P[i][j](", ")");
  // SELI-SELJ, either of which may be negative: 20-20, 50--1, -3-7.
  const std::size_t dash = cell.find('-', 1);
  if (dash == std::string_view::npos) r.fail(91, "expected the selected cell as I-J");
  rep.SELI = r.integer(cell.substr(0, dash), 91);
  rep.SELJ = r.integer(cell.substr(dash + 1), 91);
  r.grid(92, rep.IUV_P);
  return rep;
}

ReportFile read_report(const std::filesystem::path& path) {
  const std::string name = display(path);
  // A report is some 60 kB (a few MB with very long numbers).
  constexpr std::uintmax_t MAX_REPORT_BYTES = 64u << 20;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw ReportError(name, 0, "is a folder, not a report");
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > MAX_REPORT_BYTES) throw ReportError(name, 0, "far too large for a report");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ReportError(name, 0, "cannot open the report: " + last_error_text());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (in.bad()) throw ReportError(name, 0, "cannot read the report");
  return parse_report(bytes.str(), name);
}

}  // namespace varnock
