#include "study/study_table.h"

#include <cmath>
#include <optional>

#include "study/study_values.h"

namespace varnock {
namespace {

const char* const MAPS[] = {"IXY", "IUV", "IUV_P"};

}  // namespace

std::vector<std::pair<std::string, double>> quantities(const PointRecord& r) {
  std::vector<std::pair<std::string, double>> q;
  q.emplace_back("total", r.totals.total);
  q.emplace_back("transmitted", r.totals.transmitted);
  q.emplace_back("ratio", r.totals.ratio);
  for (const char* m : MAPS) {
    const auto it = r.stats.find(m);
    const std::optional<MapStatistics> s = it == r.stats.end() ? std::nullopt : it->second;
    const std::string k = m;
    auto put = [&](const std::string& key, double v) { q.emplace_back(k + "_" + key, s ? v : NAN); };
    put("peak", s ? s->peak : 0);
    put("peak_x", s ? s->peak_at[0] : 0);
    put("peak_y", s ? s->peak_at[1] : 0);
    put("centroid_x", s ? s->centroid[0] : 0);
    put("centroid_y", s ? s->centroid[1] : 0);
    put("rms_x", s ? s->rms_width[0] : 0);
    put("rms_y", s ? s->rms_width[1] : 0);
    put("fwhm_x", s ? s->fwhm[0] : 0);
    put("fwhm_y", s ? s->fwhm[1] : 0);
    put("uniformity_min_mean", s ? s->uniformity_min_mean : 0);
    put("uniformity_std_mean", s ? s->uniformity_std_mean : 0);
  }
  return q;
}

std::string csv_field(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string csv_row(const std::vector<std::string>& fields) {
  std::string row;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) row += ',';
    row += csv_field(fields[i]);
  }
  return row + "\n";
}

std::string study_csv(const StudyDefinition& d, const std::vector<PointRecord>& records) {
  std::vector<std::string> header = {"point"};
  for (const StudyCell& c : d.cells) header.push_back(c.cell.value_name);
  header.insert(header.end(), {"status", "message"});
  for (const auto& [key, value] : quantities(PointRecord{})) header.push_back(key);
  std::string csv = csv_row(header);
  for (const PointRecord& r : records) {
    std::vector<std::string> row = {std::to_string(r.index)};
    for (std::size_t i = 0; i < d.cells.size(); ++i) {
      row.push_back(i < r.texts.size() && !r.texts[i].empty() ? r.texts[i] : shortest_text(r.values[i]));
    }
    row.push_back(r.ok ? "ok" : "failed");
    row.push_back(r.ok ? std::string() : r.message);
    for (const auto& [key, value] : quantities(r)) {
      if (r.ok && !std::isnan(value)) row.push_back(shortest_text(value));  // every digit the double has
      else if (r.ok && key == "ratio") row.push_back("nan");
      else row.emplace_back();
    }
    csv += csv_row(row);
  }
  return csv;
}

}  // namespace varnock
