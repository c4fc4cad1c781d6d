#include "study/study_page_data.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "study/study_json.h"
#include "study/study_table.h"
#include "study/study_values.h"
#include "study/trial_statistics.h"

namespace varnock {

std::string unit_of(const std::string& value_name) {
  static const std::pair<const char*, const char*> UNITS[] = {
      {"THMIN", "rad"}, {"THMAX", "rad"}, {"RSRC", "mm"}, {"WSCAN", "mm"}, {"DXY", "mm"},
      {"DUV", "rad"},   {"CV", "1/mm"},   {"TH", "mm"},   {"DX", "mm"},    {"DY", "mm"}};
  for (const auto& [name, unit] : UNITS) {
    const std::string n = name;
    if (value_name == n) return unit;
    const bool surface_column = n.size() == 2 && value_name.rfind(n, 0) == 0 && value_name.size() > 2 &&
                                std::isdigit(static_cast<unsigned char>(value_name[2]));
    if (surface_column) return unit;
  }
  return "";
}

std::string study_page_data(const StudyDefinition& d, const std::vector<PointRecord>& records,
                            const std::vector<std::string>& notes, double elapsed, unsigned threads) {
  StudyJson data;
  data["kind"] = d.kind_name();
  data["title"] = d.sheet_name;
  data["generated_by"] = std::string("varnock ") + version();
  std::int64_t failed = 0;
  for (const PointRecord& r : records) failed += r.ok ? 0 : 1;
  data["summary"] = {{"points", records.size()}, {"failed", failed}, {"elapsed_seconds", elapsed}, {"threads", threads}};
  data["notes"] = notes;
  StudyJson parameters = StudyJson::array(), jitter = StudyJson::array();
  for (const StudyCell& c : d.cells) {
    parameters.push_back({{"name", c.cell.value_name}, {"cell", c.cell.sheet_name}, {"unit_hint", unit_of(c.cell.value_name)}});
    if (d.kind == StudyDefinition::Kind::Trials) {
      jitter.push_back({{"name", c.cell.value_name},
                        {"draw", std::string(c.jitter.kind == Jitter::Kind::Normal ? "normal:" : "uniform:") +
                                     shortest_text(c.jitter.width)},
                        {"nominal", c.nominal}});
    }
  }
  data["parameters"] = parameters;
  data["jitter"] = d.kind == StudyDefinition::Kind::Trials ? jitter : StudyJson(nullptr);
  if (d.kind == StudyDefinition::Kind::Sweep && !d.zip && d.cells.size() == 2) {
    data["grid"] = {{"shape", {d.cells[0].values.size(), d.cells[1].values.size()}}};
  } else {
    data["grid"] = nullptr;
  }
  StudyJson q = StudyJson::array();
  for (const auto& [key, value] : quantities(PointRecord{})) {
    std::string label = key;
    std::replace(label.begin(), label.end(), '_', ' ');
    q.push_back({{"key", key}, {"label", label}});
  }
  data["quantities"] = q;
  StudyJson points = StudyJson::array();
  for (const PointRecord& r : records) {
    StudyJson p;
    p["index"] = r.index;
    StudyJson values = StudyJson::array();
    for (double v : r.values) values.push_back(json_number(v));
    p["values"] = values;
    p["texts"] = r.texts;
    p["ok"] = r.ok;
    p["message"] = r.message;
    StudyJson qs = StudyJson::object();
    for (const auto& [key, value] : quantities(r)) qs[key] = r.ok ? json_number(value) : StudyJson(nullptr);
    p["q"] = qs;
    if (r.ixy) {
      StudyJson grid = StudyJson::array();
      for (const auto& column : *r.ixy) {
        StudyJson col = StudyJson::array();
        for (double v : column) col.push_back(json_number(v));
        grid.push_back(col);
      }
      p["ixy"] = grid;
    } else {
      p["ixy"] = nullptr;
    }
    points.push_back(p);
  }
  data["points"] = points;
  // The strip draws every map at one scale: the first point's cell pitch.
  // A study that varies the pitch itself says so on the page.
  double pitch = 0;
  bool pitch_varies = false;
  for (const PointRecord& r : records) {
    if (!r.ok) continue;
    if (pitch == 0) pitch = r.dxy;
    else if (r.dxy != pitch) pitch_varies = true;
  }
  data["ixy_pitch"] = pitch;
  if (pitch_varies) {
    data["notes"].push_back("the IXY cell pitch differs between points: the strip's axes use the first point's, " +
                            shortest_text(pitch) + " mm");
  }
  data["statistics"] = trial_statistics(data);
  return data.dump(-1, ' ', false, StudyJson::error_handler_t::replace);
}

}  // namespace varnock
