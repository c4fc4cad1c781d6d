#include "run/run_driver.h"

#include <chrono>
#include <cmath>
#include <string>

#include "accum/run_position.h"
#include "model/read_sheet.h"
#include "model/sheet_cells.h"
#include "run/report.h"
#include "source/fan.h"
#include "support/files.h"
#include "support/run_error.h"

namespace varnock {
namespace {

// Sheet cells of the fan's two counts, for messages: (column, row) from 0.
constexpr int NPHI_COLUMN = 2, NPHI_ROW = 4;
constexpr int NTH_COLUMN = 2, NTH_ROW = 5;

[[noreturn]] void refuse_oversized_fan(const RunParams& p, const std::string& sheet_name) {
  fail_sheet_cell(sheet_name, NTH_COLUMN, NTH_ROW,
                  "NTH = " + std::to_string(p.NTH) + " with NPHI = " + std::to_string(p.NPHI) +
                      " (cell " + cell_name(NPHI_COLUMN, NPHI_ROW) + ") makes a fan of more than " +
                      std::to_string(MAX_FAN_RAYS) + " rays; refused");
}

void require_output_folder(const std::filesystem::path& dir) {
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    fail_output(display(dir), "the output folder does not exist or is not a folder");
  }
}

void clear_results(Results& res) {
  res.TOTAL = 0;
  for (int i = 0; i < GRID_CELLS; ++i) {
    for (int j = 0; j < GRID_CELLS; ++j) {
      res.IXY[i][j] = 0;
      res.IUV[i][j] = 0;
      res.IUV_P[i][j] = 0;
    }
  }
}

// Vertex positions for scan step k: the system moves from -WSCAN/2 in steps
// of WSCAN/NSCAN, stopping one step short of +WSCAN/2.
void place_surfaces(SystemState& sys, int k) {
  const RunParams& p = sys.params;
  sys.ZS[0] = (sys.surf.TH[0] - p.WSCAN / 2) + (p.WSCAN * k) / p.NSCAN;
  for (int i = 1; i <= p.NSURF; ++i) sys.ZS[i] = sys.surf.TH[i] + sys.ZS[i - 1];
}

// Source point j of the ring. Consecutive points are 6.28/NRING rad apart,
// the legacy constant, not 2 pi.
void place_source(const SystemState& sys, RayState& ray, int j) {
  const RunParams& p = sys.params;
  const double a = (6.28 * j) / p.NRING;
  ray.X[0] = sys.XC0 + p.RSRC * std::cos(a);
  ray.Y[0] = sys.YC0 + p.RSRC * std::sin(a);
}

// Everything that writes files: the fan listing, the passes and the report.
// A failure part way leaves the report empty, so that no earlier report sits
// beside a half-written run and passes for its result.
void compute_and_write(Model& model, std::int64_t fan_rays, const std::filesystem::path& output_dir,
                       const RunOptions& options, RunSuccess& summary) {
  SystemState& sys = model.sys;
  RayState& ray = model.ray;
  Results& res = model.res;
  const RunParams& p = sys.params;

  // Model -> fan, listed as it is built.
  OutputFile listing(output_dir / FAN_LISTING_FILE);
  build_fan(sys, ray, &listing, fan_rays);
  listing.close();

  // The report exists, empty, from here until it is written at the end.
  clear_results(res);
  OutputFile report(output_dir / REPORT_FILE);

  // Fan -> passes -> grids: every scan step, every ring position.
  const std::int64_t positions =
      p.NSCAN > 0 && p.NRING > 0 ? std::int64_t{p.NSCAN} * p.NRING : 0;
  if (positions > 0) OutputFile(output_dir / PASS_MARKER_FILE).close();
  std::int64_t done = 0;
  for (int k = 0; k < p.NSCAN; ++k) {
    place_surfaces(sys, k);
    for (int j = 0; j < p.NRING; ++j) {
      place_source(sys, ray, j);
      summary.totals.rays_traced += run_position(sys, ray, res);
      if (options.on_progress) options.on_progress(++done, positions);
    }
  }

  // Grids -> report.
  write_report(res, p, report);

  summary.totals.total = res.TOTAL;
  summary.totals.transmitted = res.TRANS;
  summary.totals.ratio = res.RATIO;
  summary.totals.fan_rays = sys.fan.NRAY;
  summary.totals.source_positions = positions;
}

}  // namespace

RunSuccess run_sheet(Model& model, const std::filesystem::path& sheet,
                     const std::filesystem::path& output_dir, const RunOptions& options) {
  const auto start = std::chrono::steady_clock::now();
  RunSuccess summary;

  // Sheet -> model. Everything that can refuse the sheet happens before the
  // first file is written, and a refused sheet leaves the folder alone.
  model.sys.PI = RUN_PI;
  read_sheet(SheetCells::parse(read_sheet_bytes(sheet, MAX_SHEET_BYTES)), model.sys,
             summary.warnings);
  const std::int64_t fan_rays = count_fan_rays(model.sys.params, MAX_FAN_RAYS);
  if (fan_rays > MAX_FAN_RAYS) refuse_oversized_fan(model.sys.params, display(sheet));
  require_output_folder(output_dir);

  try {
    compute_and_write(model, fan_rays, output_dir, options, summary);
  } catch (...) {
    empty_file(output_dir / REPORT_FILE, false);
    throw;
  }
  summary.elapsed_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace varnock
