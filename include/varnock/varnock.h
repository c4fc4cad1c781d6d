// Varnock: illumination ray tracing of a ring source through a coaxial
// system of lenses, mirrors, lens arrays and stops.
//
// A run reads an input sheet and gives the totals, the three grids and
// their statistics, in memory or also as the result files in a folder. A
// Session keeps the one thing a run leaves for the next, as one loaded
// copy of the legacy library did: the source point the run ended on, which
// the next run's fan listing shows; varnock::run makes each run a first one.
//
//   varnock::Session session;
//   varnock::RunResult r = session.run("lens.txt", "out/");
//   if (!r.ok()) std::cerr << r.failure().describe() << '\n';
//   else std::cout << r.success().totals.ratio << '\n';
//
//   varnock::Sheet sheet = varnock::Sheet::read("lens.txt");  // varnock/sheet.h
//   sheet.set("TH2", 25.0);
//   r = varnock::run(sheet);  // in memory: no file is written
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// The functions below are what the shared library libvarnock.so exports;
// the build hides every other symbol, so they are marked here, where both
// the library and its callers see them.
#if defined(__GNUC__) && defined(__ELF__)  // visibility is a property of ELF symbols
#define VARNOCK_API __attribute__((visibility("default")))
#else
#define VARNOCK_API
#endif

namespace varnock {

struct Model;
class WorkShare;
class Sheet;

// File names of the exchange folder.
inline constexpr const char* SHEET_FILE = "IN_FM.txt";
inline constexpr const char* FAN_LISTING_FILE = "OUT_MI.txt";
inline constexpr const char* PASS_MARKER_FILE = "OUT_MR.txt";
inline constexpr const char* REPORT_FILE = "OUT_M.txt";
inline constexpr const char* RUN_RECORD_FILE = "run.json";

VARNOCK_API const char* version();

// The work of a run, used wherever a run's size is shown or estimated:
// ray-surface steps = rays traced (rays of non-negative weight) x NSURF.
inline std::int64_t ray_surface_steps(std::int64_t rays_traced, int surfaces) {
  return surfaces > 0 ? rays_traced * surfaces : 0;
}

struct RunTotals {
  double total = 0;        // weight of every traced ray
  double transmitted = 0;  // weight that landed inside both grid windows
  double ratio = 0;        // transmitted / total (not a number when total is 0)
  std::int64_t fan_rays = 0;          // rays in the fan
  std::int64_t source_positions = 0;  // scan steps x ring positions
  int index_sets = 0;                 // refractive-index sets traced
  int surfaces = 0;                   // surfaces each ray crosses
  std::int64_t rays_traced = 0;       // traces run (rays of non-negative weight)
  std::int64_t steps = 0;             // ray-surface steps: rays_traced x surfaces
};

// The three grids of OUT_M.txt, [first index][second index] as the report
// names them (IXY[x cell][y cell], IUV[U cell][V cell]), and beside each the
// number of rays that landed in every cell.
inline constexpr int GRID_SIZE = 41;
using GridValues = std::array<std::array<double, GRID_SIZE>, GRID_SIZE>;
using GridCounts = std::array<std::array<std::int64_t, GRID_SIZE>, GRID_SIZE>;

// The three grids with every binned ray's weight shared bilinearly among
// the four cell centres nearest to where it landed (see
// RunOptions::smoothed_maps), indexed as the plain grids. IUV_P holds the
// rays whose plain IXY cell is (SELI, SELJ).
struct SmoothedGrids {
  GridValues IXY{}, IUV{}, IUV_P{};
};

struct RunMaps {
  GridValues IXY{}, IUV{}, IUV_P{};
  GridCounts IXY_rays{}, IUV_rays{}, IUV_P_rays{};
  double DXY = 0, DUV = 0;  // the cell pitches, mm and rad
  int SELI = 0, SELJ = 0;   // the IXY cell whose rays make IUV_P
  // Only when the run was asked for them (RunOptions::smoothed_maps).
  std::optional<SmoothedGrids> smoothed;
};

// One process of a run shared among several (the MPI build under mpirun):
// its host, threads and which maths code it runs ("libm fma", "libm sse2"
// or "fast": the fast mode gives the same bits on every instruction set).
// Processes whose maths code differs may disagree in the last bits of a
// ray, and so the files may depend on the split.
struct ProcessInfo {
  std::string host;
  unsigned threads = 0;
  std::string maths;
};

// Wall time of each part of a run, in seconds.
struct RunParts {
  double sheet = 0;   // reading the sheet and laying the fan out
  double fan = 0;     // building the fan and writing its listing
  double trace = 0;   // tracing the rays and folding them into the grids
  double report = 0;  // writing OUT_M.txt
  double page = 0;    // report.html, figures and CSV (Session::run)
};

// What a map's numbers say at a glance: where its light is and how evenly
// it is spread. Positions and sizes are in the map's unit: mm for IXY, mrad
// for IUV and IUV_P; cell i has its centre at (i - 20) x pitch.
struct MapStatistics {
  double sum = 0;                         // the weight in the 41 x 41 window
  double peak = 0;                        // the largest cell
  std::array<int, 2> peak_cell{};         // its indices (the first such cell)
  std::array<double, 2> peak_at{};        // its centre
  std::array<double, 2> centroid{};       // the weighted mean position
  std::array<double, 2> rms_width{};      // the weighted RMS distance from it, per axis
  // Full width at half maximum along the row and the column through the
  // centroid's cell: each profile against its own maximum, its outermost
  // crossings of half of it, interpolated linearly between cell centres;
  // where it does not fall to half inside the window, the width reaches to
  // the last cell centre (a lower bound). (The peak cell's row and column
  // gave widths of a single noisy cell on flat maps.)
  std::array<double, 2> fwhm{};
  // Over the cells at or above half the peak: the smallest value over the
  // mean, and the standard deviation over the mean.
  double uniformity_min_mean = 0;
  double uniformity_std_mean = 0;
  int lit_cells = 0;                          // cells with weight
  std::optional<double> mean_rays_per_lit_cell;  // when the ray counts are known
};

// The statistics of the three maps, as the report page shows them; nothing
// for a map without weight.
struct RunStatistics {
  std::optional<MapStatistics> IXY, IUV, IUV_P;
};

struct RunSuccess {
  RunTotals totals;
  RunParts parts;
  RunMaps maps;
  RunStatistics statistics;  // filled by Session::run and varnock::run
  // Cells whose text was not entirely a number, counts that were capped, and
  // the like: the run went on with the values shown.
  std::vector<std::string> warnings;
  // About the output folder rather than the sheet: a previous set of
  // results that was left incomplete, and the like.
  std::vector<std::string> notes;
  double elapsed_seconds = 0;
  unsigned threads = 1;        // threads that traced
  const char* mode = "exact";  // how the rays were traced: "exact" or "fast"
  const char* simd = "";       // the fast mode's instruction-set path
  const char* sums = "serial"; // how the weights were summed: "serial" or "exact"
  // The processes that shared the run, by rank; empty for a run of one.
  std::vector<ProcessInfo> processes;
};

enum class FailureKind {
  Sheet,      // the sheet is missing, unreadable or refused
  Output,     // the output folder or a result file cannot be written
  Cancelled,  // the run was stopped through RunOptions::cancel
  Unsupported,  // the fast mode or its instruction set is not available here
};

struct RunFailure {
  FailureKind kind = FailureKind::Sheet;
  std::string file;  // the file concerned
  int row = 0;       // 1-based sheet row and column of the cell at fault,
  int column = 0;    // or 0 when the problem is not about one cell
  std::string message;

  // One line: "file: cell C6 (row 6, column 3): message" or "file: message".
  VARNOCK_API std::string describe() const;
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

// The work of a run before it runs, as the summary counts it. Counted from
// the rays' weights, or estimated from a sample of ring points in a huge run.
struct RunSize {
  std::int64_t fan_rays = 0;
  std::int64_t source_positions = 0;
  std::int64_t rays_traced = 0;
  std::int64_t steps = 0;
  bool estimated = false;
};

// How far a run has got. Counts cover the work of all threads, folded in
// order.
struct RunProgress {
  std::int64_t positions_done = 0;   // source positions complete
  std::int64_t positions_total = 0;  // scan steps x ring positions
  std::int64_t rays_traced = 0;
  std::int64_t steps = 0;            // ray-surface steps done
  double fraction = 0;               // of the run's rays, 0 to 1
  double elapsed_seconds = 0;
  double seconds_left = -1;          // an estimate; negative while unknown
};

// The CPUs this process may run on: its affinity mask, limited by a CPU
// quota (cgroup) where one is set. At least 1.
VARNOCK_API unsigned available_cpus();

// The instruction sets the fast mode can trace with: Auto takes the widest
// the processor has. Every path gives the same bits; they differ in speed.
enum class SimdPath { Auto, Avx512, Avx2, Sse2 };

// Figure files a run can write beside its results.
enum class FigureFormat { None, Png, Svg, Pdf };
VARNOCK_API const char* simd_path_name(SimdPath path);  // "auto", "avx512", "avx2", "sse2"
// Whether this build has the fast mode and this processor can run the path.
VARNOCK_API bool simd_path_supported(SimdPath path);

struct RunOptions {
  // Threads that trace: 0 means available_cpus(); 1 runs everything on the
  // calling thread. The files are the same bytes for every count.
  unsigned threads = 0;
  // Called on the calling thread about ten times a second while the rays
  // are traced, and once at the end of the tracing.
  std::function<void(const RunProgress&)> on_progress;
  // Called once the fan is built, before any ray is traced, with the size
  // of the run (counting it takes a moment, so only when set).
  std::function<void(const RunSize&)> on_size;
  // When set and it becomes true, the run stops within a fraction of a
  // second and fails with FailureKind::Cancelled.
  const std::atomic<bool>* cancel = nullptr;
  // The fast mode: the same surfaces traced on vectors of rays without
  // trigonometric functions (tangents carried from surface to surface,
  // Snell's law and reflection in vector form), some 30 times as fast. The
  // rays agree with exact mode's to about 1e-13; the files are nearly
  // always the same bytes as an exact run's, TOTAL always, and the grids
  // within a ray or two. simd forces an instruction-set path.
  bool fast = false;
  SimdPath simd = SimdPath::Auto;
  // Exact sums: TOTAL and every grid cell summed without rounding and
  // rounded once, so that they are the correctly rounded sums of the
  // weights, whatever the order of the additions and however the work is
  // split (threads, processes). Without it the sums are the legacy running
  // sums, ray by ray in the serial order, which the drop-in files hold; the
  // two differ in the last bits.
  bool exact_sums = false;
  // Shares the run with other processes (see src/run/work_share.h; the MPI
  // build's varnock under mpirun). It needs exact_sums. A process that does
  // not write the files is run with run_sheet directly.
  WorkShare* share = nullptr;
  // Session::run also writes run.json beside the files: the program and its
  // version, the mode and threads, the SHA-256 of the sheet and of every
  // result file, and the summary. An earlier run.json is removed as soon as
  // the run starts writing, so it never describes other files.
  bool write_run_record = false;
  // Session::run also writes report.html: the run, the system with a
  // drawing of sample rays, and the three maps with their statistics. When
  // not set, an earlier report.html in the folder is removed, so that no old
  // report sits beside new results.
  bool write_report_page = false;
  // The maps and the drawing as figure files (IXY.png, ..., layout.png).
  FigureFormat figures = FigureFormat::None;
  // The grids as IXY.csv, IUV.csv and IUV_P.csv.
  bool write_csv = false;
  // Also the smoothed grids, RunSuccess::maps.smoothed, for merit functions
  // that must change smoothly with the system: each binned ray's weight is
  // shared among the four cell centres nearest to where it landed, in
  // proportion to its nearness along each axis (bilinearly; cell i has its
  // centre at (i - 20) x pitch, and shares that fall outside the grid are
  // dropped). The rays are those the plain grids bin, so a ray outside the
  // plain windows adds nothing. They are running sums in the serial order,
  // the same bits for every thread count (also with exact_sums, which does
  // not apply to them), and they change no file. Not available in a run
  // shared among processes (share), which then fails.
  bool smoothed_maps = false;
};

class Session {
 public:
  VARNOCK_API Session();
  VARNOCK_API ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Reads one sheet and writes OUT_MI.txt, OUT_MR.txt and OUT_M.txt into
  // output_dir, which must exist, with what the options ask for beside
  // them. The files are replaced as a set: written under temporary names
  // and moved into place only once all are complete, run.json last. A run
  // that is refused, fails or is cancelled leaves the previous set as it
  // was. One run at a time writes into a folder; a second fails at once,
  // naming the first. The threads it starts are joined before it returns.
  VARNOCK_API RunResult run(const std::filesystem::path& sheet,
                            const std::filesystem::path& output_dir,
                            const RunOptions& options = {});

  // Runs a sheet held in memory. With an empty output_dir nothing is
  // written (the report page, figures and CSV the options ask for are
  // skipped too); otherwise the files are those run(path, output_dir)
  // writes, replaced as a set.
  VARNOCK_API RunResult run(const Sheet& sheet, const RunOptions& options = {},
                            const std::filesystem::path& output_dir = {});

 private:
  std::unique_ptr<Model> model_;
};

// A first run of a sheet, in a fresh model: what a new Session's run gives.
VARNOCK_API RunResult run(const Sheet& sheet, const RunOptions& options = {},
                          const std::filesystem::path& output_dir = {});

// The report page (report.html) of a run of sheet, as one self-contained
// HTML document.
VARNOCK_API std::string report_page_html(const Sheet& sheet, const RunSuccess& run);

}  // namespace varnock

#include "varnock/sheet.h"
