// Varnock: illumination ray tracing of a ring source through a coaxial
// system of lenses, mirrors, lens arrays and stops.
//
// A Session runs input sheets and writes the three result files, keeping
// its model state from one run to the next as one loaded copy of the legacy
// library did:
//
//   varnock::Session session;
//   varnock::RunResult r = session.run("lens.txt", "out/");
//   if (!r.ok()) std::cerr << r.failure().describe() << '\n';
//   else std::cout << r.success().totals.ratio << '\n';
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace varnock {

struct Model;

// File names of the exchange folder.
inline constexpr const char* SHEET_FILE = "IN_FM.txt";
inline constexpr const char* FAN_LISTING_FILE = "OUT_MI.txt";
inline constexpr const char* PASS_MARKER_FILE = "OUT_MR.txt";
inline constexpr const char* REPORT_FILE = "OUT_M.txt";

const char* version();

struct RunTotals {
  double total = 0;        // weight of every traced ray
  double transmitted = 0;  // weight that landed inside both grid windows
  double ratio = 0;        // transmitted / total (not a number when total is 0)
  std::int64_t fan_rays = 0;          // rays in the fan
  std::int64_t source_positions = 0;  // scan steps x ring positions
  std::int64_t rays_traced = 0;       // traces run (rays of non-negative weight)
};

struct RunSuccess {
  RunTotals totals;
  // Cells whose text was not entirely a number, counts that were capped, and
  // the like: the run went on with the values shown.
  std::vector<std::string> warnings;
  double elapsed_seconds = 0;
};

enum class FailureKind {
  Sheet,   // the sheet is missing, unreadable or refused
  Output,  // the output folder or a result file cannot be written
};

struct RunFailure {
  FailureKind kind = FailureKind::Sheet;
  std::string file;  // the file concerned
  int row = 0;       // 1-based sheet row and column of the cell at fault,
  int column = 0;    // or 0 when the problem is not about one cell
  std::string message;

  // One line: "file: cell C6 (row 6, column 3): message" or "file: message".
  std::string describe() const;
};

class RunResult {
 public:
  RunResult(RunSuccess s) : value_(std::move(s)) {}
  RunResult(RunFailure f) : value_(std::move(f)) {}
  bool ok() const { return std::holds_alternative<RunSuccess>(value_); }
  const RunSuccess& success() const { return std::get<RunSuccess>(value_); }
  const RunFailure& failure() const { return std::get<RunFailure>(value_); }

 private:
  std::variant<RunSuccess, RunFailure> value_;
};

struct RunOptions {
  // Called after every source-position pass with the passes done and the
  // passes in all.
  std::function<void(std::int64_t done, std::int64_t total)> on_progress;
  // A run that fails after it has begun writing leaves OUT_M.txt empty, so
  // that no earlier report sits beside its files; a refused sheet leaves the
  // folder alone. With this set, every failure leaves OUT_M.txt empty,
  // creating it if need be: the drop-in entry's caller reads it regardless.
  bool create_empty_report_on_failure = false;
};

class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Reads one sheet and writes OUT_MI.txt, OUT_MR.txt and OUT_M.txt into
  // output_dir, which must exist.
  RunResult run(const std::filesystem::path& sheet, const std::filesystem::path& output_dir,
                const RunOptions& options = {});

  // The model state as the last run left it.
  const Model& model() const { return *model_; }

 private:
  std::unique_ptr<Model> model_;
};

}  // namespace varnock
