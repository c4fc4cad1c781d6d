#include "report/report_page.h"

#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "report/figures.h"
#include "report/html_page.h"
#include "report/layout_json.h"
#include "report/map_statistics.h"
#include "report/system_view.h"
#include "support/files.h"
#include "support/number_text.h"

namespace varnock {
namespace {

using Json = nlohmann::ordered_json;

// A rays-per-cell average below this is too noisy to trust.
constexpr double FEW_RAYS_PER_CELL = 100;

struct MapView {
  const char* name;
  std::string title;
  std::array<std::string, 2> axes;
  std::string unit;
  double pitch;  // in unit
  const GridValues* values;
  const GridCounts* rays;
  std::optional<std::array<int, 2>> selected;
  std::string caption;
};

std::vector<MapView> map_views(const ReportSources& src) {
  const ReportFile& r = src.results;
  const RunMaps* maps = src.rays;
  std::optional<std::array<int, 2>> selected;
  if (r.SELI >= 0 && r.SELI <= 40 && r.SELJ >= 0 && r.SELJ <= 40) selected = std::array<int, 2>{r.SELI, r.SELJ};
  const double mrad = 1000 * r.DUV;
  const std::string cell = std::string("(") + std::to_string(r.SELI) + ", " + std::to_string(r.SELJ) + ")";
  return {
      {"IXY", "IXY: where the rays land", {"x", "y"}, "mm", r.DXY, &r.IXY,
       maps ? &maps->IXY_rays : nullptr, selected,
       "Weight of the rays by where they meet the last surface, cell pitch " + fixed_text(r.DXY) +
           " mm." + (selected ? " The outlined cell " + cell + " feeds IUV_P." : "")},
      {"IUV", "IUV: which way the rays leave", {"U", "V"}, "mrad", mrad, &r.IUV,
       maps ? &maps->IUV_rays : nullptr, std::nullopt,
       "Weight of the rays by their direction angles after the last surface, cell pitch " +
           fixed_text(r.DUV) + " rad. A positive U heads towards smaller x."},
      {"IUV_P", "IUV_P: directions of the rays through IXY cell " + cell, {"U", "V"}, "mrad", mrad,
       &r.IUV_P, maps ? &maps->IUV_P_rays : nullptr, std::nullopt,
       "Like IUV, for the rays that land in IXY cell " + cell + " only." +
           (selected ? "" : " That cell lies outside the grid, so this map is empty.")},
  };
}

Json pair(const std::array<double, 2>& v) { return Json::array({fixed_text(v[0]), fixed_text(v[1])}); }

Json map_json(const MapView& m, std::vector<std::string>& notes) {
  Json j;
  j["name"] = m.name;
  j["title"] = m.title;
  j["axes"] = {m.axes[0], m.axes[1]};
  j["unit"] = m.unit;
  j["pitch"] = std::isfinite(m.pitch) ? Json(m.pitch) : Json(nullptr);
  Json values = Json::array(), rays = Json::array();
  for (int i = 0; i < GRID_SIZE; ++i) {
    Json column = Json::array(), counts = Json::array();
    for (int k = 0; k < GRID_SIZE; ++k) {
      const double v = (*m.values)[i][k];
      column.push_back(std::isfinite(v) ? Json(v) : Json(nullptr));
      if (m.rays) counts.push_back((*m.rays)[i][k]);
    }
    values.push_back(std::move(column));
    rays.push_back(std::move(counts));
  }
  j["values"] = std::move(values);
  j["rays"] = m.rays ? std::move(rays) : Json(nullptr);
  j["selected"] = m.selected ? Json::array({(*m.selected)[0], (*m.selected)[1]}) : Json(nullptr);
  j["caption"] = m.caption;
  const std::optional<MapStatistics> s = map_statistics(*m.values, m.pitch, m.rays);
  if (!s) {
    j["stats"] = nullptr;
    return j;
  }
  j["stats"] = {
      {"sum", fixed_text(s->sum)},
      {"peak", fixed_text(s->peak)},
      {"peak_at", pair(s->peak_at)},
      {"peak_cell", {s->peak_cell[0], s->peak_cell[1]}},
      {"centroid", pair(s->centroid)},
      {"rms_width", pair(s->rms_width)},
      {"fwhm", pair(s->fwhm)},
      {"uniformity_min_mean", fixed_text(s->uniformity_min_mean)},
      {"uniformity_std_mean", fixed_text(s->uniformity_std_mean)},
      {"lit_cells", s->lit_cells},
      {"mean_rays_per_lit_cell",
       s->mean_rays_per_lit_cell ? Json(*s->mean_rays_per_lit_cell) : Json(nullptr)},
  };
  if (s->mean_rays_per_lit_cell && *s->mean_rays_per_lit_cell < FEW_RAYS_PER_CELL) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", *s->mean_rays_per_lit_cell);
    notes.push_back(std::string(m.name) + ": its lit cells hold " + text +
                    " rays on average, fewer than 100: single cells are noisy. More fan rays "
                    "(NPHI, NTH) or source positions would smooth them.");
  }
  return j;
}

}  // namespace

RunInfo run_info_of(const RunSuccess& run) {
  const std::string mode = std::string(run.mode) + (std::string(run.sums) == "exact" ? ", exact sums" : "");
  return RunInfo{run.totals, run.elapsed_seconds, run.threads, mode, run.simd};
}

ReportFile results_of(const RunSuccess& run, const RunParams& params) {
  ReportFile r;
  r.total = run.totals.total;
  r.transmitted = run.totals.transmitted;
  r.ratio = run.totals.ratio;
  r.DXY = params.DXY;
  r.DUV = params.DUV;
  r.SELI = params.SELI;
  r.SELJ = params.SELJ;
  r.IXY = run.maps.IXY;
  r.IUV = run.maps.IUV;
  r.IUV_P = run.maps.IUV_P;
  return r;
}

std::string report_data_json(const ReportSources& src) {
  Json data;
  data["title"] = src.title;
  data["generated_by"] = std::string("varnock ") + version();
  if (src.run) {
    const RunTotals& t = src.run->totals;
    data["run"] = {{"sheet", src.title},
                   {"fan_rays", t.fan_rays},
                   {"source_positions", t.source_positions},
                   {"index_sets", t.index_sets},
                   {"surfaces", t.surfaces},
                   {"rays_traced", t.rays_traced},
                   {"steps", t.steps},
                   {"elapsed_seconds", src.run->elapsed_seconds},
                   {"threads", src.run->threads},
                   {"mode", src.run->mode},
                   {"simd", src.run->simd}};
  } else {
    data["run"] = nullptr;
  }
  data["totals"] = {{"total", fixed_text(src.results.total)},
                    {"transmitted", fixed_text(src.results.transmitted)},
                    {"ratio", fixed_text(src.results.ratio)}};
  data["warnings"] = src.warnings;
  std::vector<std::string> notes = src.notes;
  Json maps = Json::array();
  for (const MapView& m : map_views(src)) maps.push_back(map_json(m, notes));
  data["notes"] = notes;
  data["maps"] = std::move(maps);
  Json legend = Json::array();
  for (const auto& [term, meaning] : map_statistics_legend()) legend.push_back({term, meaning});
  data["stats_legend"] = std::move(legend);
  if (src.system != nullptr) {
    const SystemTable table = system_table(*src.system);
    const SystemLayout layout = system_layout(*src.system);
    data["system"] = {{"layout", layout_json(layout)},
                      {"caption", layout.caption},
                      {"columns", table.columns},
                      {"rows", table.rows}};
  } else {
    data["system"] = nullptr;
  }
  return data.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void write_report_page(const ReportSources& sources, const std::filesystem::path& path) {
  OutputFile out(path);
  out.write(html_page(report_data_json(sources)));
  out.close();
}

const char* figure_extension(FigureFormat format) {
  switch (format) {
    case FigureFormat::Png: return "png";
    case FigureFormat::Svg: return "svg";
    case FigureFormat::Pdf: return "pdf";
    case FigureFormat::None: return "";
  }
  return "";
}

std::vector<std::string> report_figure_names(FigureFormat format, bool with_system) {
  if (format == FigureFormat::None) return {};
  const std::string ext = figure_extension(format);
  std::vector<std::string> names{"IXY." + ext, "IUV." + ext, "IUV_P." + ext};
  if (with_system) names.push_back("layout." + ext);
  return names;
}

void write_report_figures(const ReportSources& src, FigureFormat format, const PathOf& path_of) {
  if (format == FigureFormat::None) return;
  const std::string ext = figure_extension(format);
  for (const MapView& m : map_views(src)) {
    MapFigure f{m.name, m.title, m.values, m.pitch, m.unit, m.axes, m.selected};
    write_map_figure(f, format, path_of(std::string(m.name) + "." + ext));
  }
  if (src.system != nullptr) {
    write_layout_figure(system_layout(*src.system), format, path_of("layout." + ext));
  }
}

}  // namespace varnock
