// varnock.Result, varnock._core.run and varnock.Session: runs held in
// memory, their maps as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <memory>
#include <chrono>
#include <mutex>
#include <system_error>
#include <optional>

#include "bindings.h"
#include "blocking_call.h"
#include "errors.h"
#include "support/files.h"
#include "texts.h"
#include "varnock/sheet.h"

namespace py = pybind11;

namespace varnock_python {
namespace {

// A successful run with the sheet it ran, which its report page draws.
struct RunOutcome {
  varnock::RunSuccess run;
  varnock::Sheet sheet;
};

template <typename Grid, typename Value>
py::array_t<Value> array_of(const Grid& grid) {
  py::array_t<Value> a({varnock::GRID_SIZE, varnock::GRID_SIZE});
  auto w = a.template mutable_unchecked<2>();
  for (int i = 0; i < varnock::GRID_SIZE; ++i) {
    for (int j = 0; j < varnock::GRID_SIZE; ++j) w(i, j) = grid[i][j];
  }
  return a;
}

// Cell centres (i - 20) x pitch.
py::array_t<double> centres(double pitch) {
  py::array_t<double> a(varnock::GRID_SIZE);
  auto w = a.mutable_unchecked<1>();
  for (int i = 0; i < varnock::GRID_SIZE; ++i) w(i) = (i - varnock::GRID_SIZE / 2) * pitch;
  return a;
}

py::object statistics_dict(const RunOutcome& r, const std::string& map) {
  const varnock::RunStatistics& all = r.run.statistics;
  const std::optional<varnock::MapStatistics>* s = map == "IXY"     ? &all.IXY
                                                   : map == "IUV"   ? &all.IUV
                                                   : map == "IUV_P" ? &all.IUV_P
                                                                    : nullptr;
  if (s == nullptr) throw py::key_error("no map " + map + ": the maps are IXY, IUV and IUV_P");
  if (!*s) return py::none();
  const varnock::MapStatistics& m = **s;
  const std::string unit = map == "IXY" ? "mm" : "mrad";
  auto pair = [](const std::array<double, 2>& v) { return py::make_tuple(v[0], v[1]); };
  py::dict d;
  d["map"] = map;
  d["unit"] = unit;
  d["sum"] = m.sum;
  d["peak"] = m.peak;
  d["peak_cell"] = py::make_tuple(m.peak_cell[0], m.peak_cell[1]);
  d[py::str("peak_at_" + unit)] = pair(m.peak_at);
  d[py::str("centroid_" + unit)] = pair(m.centroid);
  d[py::str("rms_width_" + unit)] = pair(m.rms_width);
  d[py::str("fwhm_" + unit)] = pair(m.fwhm);
  d["uniformity_min_mean"] = m.uniformity_min_mean;
  d["uniformity_std_mean"] = m.uniformity_std_mean;
  d["lit_cells"] = m.lit_cells;
  d["mean_rays_per_lit_cell"] = m.mean_rays_per_lit_cell ? py::object(py::float_(*m.mean_rays_per_lit_cell))
                                                         : py::object(py::none());
  return d;
}

// "auto", "avx512", "avx2" or "sse2", as varnock run --simd takes it.
varnock::SimdPath simd_path(const std::string& name) {
  for (varnock::SimdPath p : {varnock::SimdPath::Auto, varnock::SimdPath::Avx512, varnock::SimdPath::Avx2,
                              varnock::SimdPath::Sse2}) {
    if (name == varnock::simd_path_name(p)) return p;
  }
  throw py::value_error("simd is 'auto', 'avx512', 'avx2' or 'sse2', not '" + name + "'");
}

varnock::RunOptions options_of(bool fast, const std::string& simd, unsigned threads, bool exact_sums,
                               bool write_files) {
  varnock::RunOptions o;
  o.fast = fast;
  o.simd = simd_path(simd);
  o.threads = threads;
  o.exact_sums = exact_sums;
  // Into a folder, the files varnock run writes by default.
  o.write_run_record = write_files;
  o.write_report_page = write_files;
  return o;
}

// Makes the output folder when it does not exist (and says so, so that a
// run that fails can take it away again).
bool make_folder(const std::filesystem::path& dir) {
  std::error_code ec;
  if (std::filesystem::is_directory(dir, ec)) return false;
  if (std::filesystem::create_directories(dir, ec)) return true;
  if (std::filesystem::is_directory(dir, ec)) return false;  // another thread made it
  raise_failure(varnock::RunFailure{varnock::FailureKind::Output, varnock::display(dir), 0, 0,
                                    "the output folder cannot be made: " + ec.message()});
}

// One run, the GIL released while it runs; a failure is raised. The run
// has a copy of the sheet: the caller's may change while it runs.
RunOutcome run_in(varnock::Session& session, std::timed_mutex* lock, const varnock::Sheet& given, bool fast,
                  const std::string& simd, unsigned threads, bool exact_sums, const std::optional<std::filesystem::path>& output_dir,
                  const py::object& progress) {
  const std::filesystem::path dir = output_dir.value_or(std::filesystem::path());
  if (output_dir && dir.empty()) throw py::value_error("output_dir is empty; give a folder, or None");
  const varnock::Sheet sheet = given;
  const varnock::RunOptions base = options_of(fast, simd, threads, exact_sums, !dir.empty());
  const bool made = !dir.empty() && make_folder(dir);
  std::optional<varnock::RunResult> result;
  struct Unmake {  // a folder this call made, left empty by a failed run, goes again
    const std::filesystem::path& dir;
    bool made;
    bool keep = false;
    ~Unmake() {
      std::error_code ec;
      if (made && !keep && std::filesystem::is_empty(dir, ec)) std::filesystem::remove(dir, ec);
    }
  } unmake{dir, made};
  call_without_gil(
      [&](const std::atomic<bool>& cancel, ProgressSlot& slot) {
        // A Session runs one run at a time; waiting for the other is
        // cancelled by Ctrl-C like the run itself.
        std::unique_lock<std::timed_mutex> held;
        if (lock) {
          held = std::unique_lock<std::timed_mutex>(*lock, std::defer_lock);
          while (!held.try_lock_for(std::chrono::milliseconds(20))) {
            if (cancel) return;
          }
        }
        varnock::RunOptions o = base;
        o.cancel = &cancel;
        o.on_progress = [&slot](const varnock::RunProgress& p) {
          slot.put(Progress{p.fraction, p.positions_done, p.positions_total, p.rays_traced,
                            p.elapsed_seconds, p.seconds_left});
        };
        result = session.run(sheet, o, dir);
      },
      progress);
  if (!result) throw std::runtime_error("the run did not start");  // only when cancelled, which raised
  if (!result->ok()) raise_failure(result->failure());
  unmake.keep = true;
  return RunOutcome{result->success(), sheet};
}

// A Session of Python: one run at a time, a second thread waits its turn.
struct LockedSession {
  varnock::Session session;
  std::timed_mutex mutex;
};

}  // namespace

void bind_run(py::module_& m) {
  py::class_<RunOutcome>(m, "Result", R"(The outcome of a run: totals, the three maps and their statistics.

The maps are float64 arrays of shape (41, 41), each beside its ray counts
(int64). They are indexed [i, j] as the report OUT_M.txt names them:
IXY[ix, iy] is the x cell ix and y cell iy, which the file lists on line
iy, position ix (x across, y down). To see IXY along +z (x to the right,
y up) show its transpose: plt.imshow(r.IXY.T, origin="lower").
IUV[iu, iv] and IUV_P[iu, iv] take the U cell first, the V cell second.

x and y are the IXY cell centres in mm, u and v those of IUV and IUV_P in
mrad, as the report shows them: cell i has its centre at (i - 20) x pitch.)")
      .def_property_readonly("IXY", [](const RunOutcome& r) { return array_of<varnock::GridValues, double>(r.run.maps.IXY); },
                             "Weight by where the rays meet the last surface: IXY[x cell, y cell].")
      .def_property_readonly("IUV", [](const RunOutcome& r) { return array_of<varnock::GridValues, double>(r.run.maps.IUV); },
                             "Weight by the rays' direction angles after the last surface: IUV[U cell, V cell].")
      .def_property_readonly("IUV_P", [](const RunOutcome& r) { return array_of<varnock::GridValues, double>(r.run.maps.IUV_P); },
                             "Like IUV, for the rays that land in the selected IXY cell (selected_cell).")
      .def_property_readonly("IXY_rays", [](const RunOutcome& r) { return array_of<varnock::GridCounts, std::int64_t>(r.run.maps.IXY_rays); },
                             "The number of rays in each IXY cell.")
      .def_property_readonly("IUV_rays", [](const RunOutcome& r) { return array_of<varnock::GridCounts, std::int64_t>(r.run.maps.IUV_rays); },
                             "The number of rays in each IUV cell.")
      .def_property_readonly("IUV_P_rays", [](const RunOutcome& r) { return array_of<varnock::GridCounts, std::int64_t>(r.run.maps.IUV_P_rays); },
                             "The number of rays in each IUV_P cell.")
      .def_property_readonly("x", [](const RunOutcome& r) { return centres(r.run.maps.DXY); },
                             "Centres of the IXY cells along x (the first index), mm.")
      .def_property_readonly("y", [](const RunOutcome& r) { return centres(r.run.maps.DXY); },
                             "Centres of the IXY cells along y (the second index), mm.")
      .def_property_readonly("u", [](const RunOutcome& r) { return centres(1000 * r.run.maps.DUV); },
                             "Centres of the IUV and IUV_P cells along U (the first index), mrad.")
      .def_property_readonly("v", [](const RunOutcome& r) { return centres(1000 * r.run.maps.DUV); },
                             "Centres of the IUV and IUV_P cells along V (the second index), mrad.")
      .def_property_readonly("DXY", [](const RunOutcome& r) { return r.run.maps.DXY; }, "The IXY cell pitch, mm.")
      .def_property_readonly("DUV", [](const RunOutcome& r) { return r.run.maps.DUV; },
                             "The IUV cell pitch, rad (as the sheet gives it).")
      .def_property_readonly("selected_cell", [](const RunOutcome& r) { return py::make_tuple(r.run.maps.SELI, r.run.maps.SELJ); },
                             "The IXY cell (SELI, SELJ) whose rays make IUV_P.")
      .def_property_readonly("total", [](const RunOutcome& r) { return r.run.totals.total; },
                             "The weight of every traced ray (TOTAL of the report).")
      .def_property_readonly("transmitted", [](const RunOutcome& r) { return r.run.totals.transmitted; },
                             "The weight that landed inside both grid windows: the sum of IXY (TRANS).")
      .def_property_readonly("ratio", [](const RunOutcome& r) { return r.run.totals.ratio; },
                             "transmitted / total (nan when nothing was traced).")
      .def_property_readonly("fan_rays", [](const RunOutcome& r) { return r.run.totals.fan_rays; }, "Rays in the fan.")
      .def_property_readonly("source_positions", [](const RunOutcome& r) { return r.run.totals.source_positions; },
                             "Scan steps x ring positions.")
      .def_property_readonly("index_sets", [](const RunOutcome& r) { return r.run.totals.index_sets; },
                             "Refractive-index sets traced.")
      .def_property_readonly("surfaces", [](const RunOutcome& r) { return r.run.totals.surfaces; },
                             "Surfaces each ray crosses.")
      .def_property_readonly("rays_traced", [](const RunOutcome& r) { return r.run.totals.rays_traced; },
                             "Traces run (rays of non-negative weight).")
      .def_property_readonly("steps", [](const RunOutcome& r) { return r.run.totals.steps; },
                             "Ray-surface steps: rays_traced x surfaces.")
      .def_property_readonly("elapsed", [](const RunOutcome& r) { return r.run.elapsed_seconds; },
                             "Wall time of the run, seconds.")
      .def_property_readonly("threads", [](const RunOutcome& r) { return r.run.threads; }, "Threads that traced.")
      .def_property_readonly("mode", [](const RunOutcome& r) { return std::string(r.run.mode); },
                             "How the rays were traced: 'exact' or 'fast'.")
      .def_property_readonly("simd", [](const RunOutcome& r) { return std::string(r.run.simd); },
                             "The fast mode's instruction-set path ('' in exact mode).")
      .def_property_readonly("sums", [](const RunOutcome& r) { return std::string(r.run.sums); },
                             "How the weights were summed: 'serial' or 'exact'.")
      .def_property_readonly("warnings", [](const RunOutcome& r) { return engine_texts(r.run.warnings); },
                             "What the run noticed about the sheet and went on with.")
      .def_property_readonly("notes", [](const RunOutcome& r) { return engine_texts(r.run.notes); },
                             "What the run noticed about the output folder.")
      .def_property_readonly("sheet", [](const RunOutcome& r) { return r.sheet; }, "The sheet that ran.")
      .def("statistics", &statistics_dict, py::arg("map") = "IXY",
           R"(The report page's statistics of a map ('IXY', 'IUV' or 'IUV_P') as a dict,
or None for a map without weight. Positions and sizes carry their unit in
their key (mm for IXY, mrad for IUV and IUV_P): peak_at_mm, centroid_mm,
rms_width_mm, fwhm_mm as (x, y) pairs; sum and peak are weights;
uniformity_min_mean and uniformity_std_mean are ratios over the cells at or
above half the peak; lit_cells and mean_rays_per_lit_cell count cells and rays.)")
      .def("report_html", [](const RunOutcome& r) { return varnock::report_page_html(r.sheet, r.run); },
           "The report page of the run (report.html) as one self-contained HTML document.")
      .def("__repr__", [](const RunOutcome& r) {
        return py::str("<varnock.Result of {}: total {:.6f}, transmitted {:.6f}, ratio {:.6f}, {} mode>")
            .format(file_name_text(r.sheet.name()), r.run.totals.total, r.run.totals.transmitted,
                    r.run.totals.ratio, r.run.mode);
      });

  m.def(
      "run",
      [](const varnock::Sheet& sheet, bool fast, const std::string& simd, unsigned threads, bool exact_sums,
         const std::optional<std::filesystem::path>& output_dir, const py::object& progress) {
        varnock::Session session;  // a fresh model: a first run's results
        return run_in(session, nullptr, sheet, fast, simd, threads, exact_sums, output_dir, progress);
      },
      py::arg("sheet"), py::arg("fast"), py::arg("simd"), py::arg("threads"), py::arg("exact_sums"), py::arg("output_dir"),
      py::arg("progress"), "One run in a fresh model (see varnock.run).");

  m.def(
      "simd_paths",
      [] {
        py::dict d;
        for (varnock::SimdPath p : {varnock::SimdPath::Avx512, varnock::SimdPath::Avx2, varnock::SimdPath::Sse2}) {
          d[varnock::simd_path_name(p)] = varnock::simd_path_supported(p);
        }
        return d;
      },
      "The fast mode's instruction-set paths, each with whether this build and processor run it.");

  py::class_<LockedSession>(m, "Session", R"(Runs that follow one another as in one loaded copy of the legacy library.

A run leaves one thing for the next: the source point it ended on, which
the next run's fan listing (OUT_MI.txt) shows. varnock.run starts afresh
every time; a Session keeps that point between its runs. One run at a time:
a second thread's run waits until the first has finished.)")
      .def(py::init<>())
      .def(
          "run",
          [](LockedSession& s, const varnock::Sheet& sheet, bool fast, const std::string& simd, unsigned threads,
             bool exact_sums, const std::optional<std::filesystem::path>& output_dir, const py::object& progress) {
            return run_in(s.session, &s.mutex, sheet, fast, simd, threads, exact_sums, output_dir, progress);
          },
          py::arg("sheet"), py::arg("fast"), py::arg("simd"), py::arg("threads"), py::arg("exact_sums"), py::arg("output_dir"),
          py::arg("progress"), "One run in this session's model (see varnock.Session.run).");
}

}  // namespace varnock_python
