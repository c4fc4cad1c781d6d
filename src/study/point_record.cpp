#include "study/point_record.h"

#include <array>
#include <utility>

#include "model/sheet_cells.h"
#include "study/study_json.h"

namespace varnock {

std::string PointRecord::json() const {
  StudyJson j;
  j["index"] = index;
  j["texts"] = texts;
  StudyJson v = StudyJson::array();
  for (double x : values) v.push_back(json_number(x));
  j["values"] = v;
  j["ok"] = ok;
  j["message"] = message;
  j["dxy"] = json_number(dxy);
  j["duv"] = json_number(duv);
  j["totals"] = {{"total", json_number(totals.total)},
                 {"transmitted", json_number(totals.transmitted)},
                 {"ratio", json_number(totals.ratio)},
                 {"fan_rays", totals.fan_rays},
                 {"source_positions", totals.source_positions},
                 {"rays_traced", totals.rays_traced},
                 {"steps", totals.steps}};
  StudyJson stats = StudyJson::object();
  for (const auto& [name, s] : this->stats) {
    if (!s) {
      stats[name] = nullptr;
      continue;
    }
    stats[name] = {{"sum", s->sum}, {"peak", s->peak}, {"peak_cell", s->peak_cell}, {"peak_at", s->peak_at},
                   {"centroid", s->centroid}, {"rms_width", s->rms_width}, {"fwhm", s->fwhm},
                   {"uniformity_min_mean", s->uniformity_min_mean},
                   {"uniformity_std_mean", s->uniformity_std_mean}, {"lit_cells", s->lit_cells}};
  }
  j["stats"] = stats;
  if (ixy) {
    StudyJson grid = StudyJson::array();
    for (const auto& column : *ixy) grid.push_back(StudyJson(column));
    j["ixy"] = grid;
  } else {
    j["ixy"] = nullptr;
  }
  return j.dump() + "\n";
}

PointRecord PointRecord::from_json(const std::string& text) {
  const StudyJson j = StudyJson::parse(text);
  PointRecord r;
  r.index = j.at("index").get<std::int64_t>();
  r.texts = j.at("texts").get<std::vector<std::string>>();
  for (const StudyJson& v : j.at("values")) r.values.push_back(number_of(v));
  r.ok = j.at("ok").get<bool>();
  r.message = j.at("message").get<std::string>();
  r.dxy = number_of(j.at("dxy"));
  r.duv = number_of(j.at("duv"));
  const StudyJson& t = j.at("totals");
  r.totals.total = number_of(t.at("total"));
  r.totals.transmitted = number_of(t.at("transmitted"));
  r.totals.ratio = number_of(t.at("ratio"));
  r.totals.fan_rays = t.at("fan_rays").get<std::int64_t>();
  r.totals.source_positions = t.at("source_positions").get<std::int64_t>();
  r.totals.rays_traced = t.at("rays_traced").get<std::int64_t>();
  r.totals.steps = t.at("steps").get<std::int64_t>();
  for (const auto& [name, s] : j.at("stats").items()) {
    if (s.is_null()) {
      r.stats[name] = std::nullopt;
      continue;
    }
    MapStatistics m;
    m.sum = s.at("sum").get<double>();
    m.peak = s.at("peak").get<double>();
    m.peak_cell = s.at("peak_cell").get<std::array<int, 2>>();
    m.peak_at = s.at("peak_at").get<std::array<double, 2>>();
    m.centroid = s.at("centroid").get<std::array<double, 2>>();
    m.rms_width = s.at("rms_width").get<std::array<double, 2>>();
    m.fwhm = s.at("fwhm").get<std::array<double, 2>>();
    m.uniformity_min_mean = s.at("uniformity_min_mean").get<double>();
    m.uniformity_std_mean = s.at("uniformity_std_mean").get<double>();
    m.lit_cells = s.at("lit_cells").get<int>();
    r.stats[name] = m;
  }
  if (!j.at("ixy").is_null()) {
    GridValues g{};
    for (int i = 0; i < GRID_SIZE; ++i) {
      for (int k = 0; k < GRID_SIZE; ++k) g[i][k] = number_of(j.at("ixy").at(i).at(k));
    }
    r.ixy = g;
  }
  return r;
}

std::optional<PointRecord> point_record(std::int64_t index, std::vector<std::string> texts,
                                        std::vector<double> values, const RunResult& result) {
  PointRecord r;
  r.index = index;
  r.texts = std::move(texts);
  r.values = std::move(values);
  if (!result.ok()) {
    const RunFailure& f = result.failure();
    if (f.kind == FailureKind::Cancelled) return std::nullopt;
    r.message = "point " + std::to_string(index) + ": " +
                (f.row > 0 ? "cell " + cell_name(f.column - 1, f.row - 1) + ": " : std::string()) + f.message;
    return r;
  }
  const RunSuccess& ran = result.success();
  r.ok = true;
  r.totals = ran.totals;
  r.dxy = ran.maps.DXY;
  r.duv = ran.maps.DUV;
  r.stats["IXY"] = map_statistics(ran.maps.IXY, ran.maps.DXY);
  r.stats["IUV"] = map_statistics(ran.maps.IUV, 1000 * ran.maps.DUV);
  r.stats["IUV_P"] = map_statistics(ran.maps.IUV_P, 1000 * ran.maps.DUV);
  r.ixy = ran.maps.IXY;
  return r;
}

}  // namespace varnock
