#include "optimize/optimize_points.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <system_error>

#include "study/point_store.h"
#include "study/study_json.h"
#include "support/files.h"

namespace varnock {
namespace {

using Json = StudyJson;

constexpr const char* PROBLEM_FILE = "problem.json";

Json number(double v) { return json_number(v); }

std::string key_of(const std::vector<std::string>& texts) {
  std::string key;
  for (const std::string& t : texts) key += t + '\t';
  return key;
}

}  // namespace

std::string EvaluationRecord::json() const {
  Json j;
  j["texts"] = texts;
  Json v = Json::array(), g = Json::array();
  for (double x : values) v.push_back(number(x));
  for (double x : goals) g.push_back(number(x));
  j["values"] = v;
  j["ok"] = ok;
  j["message"] = message;
  j["goals"] = g;
  j["totals"] = {{"total", number(totals.total)}, {"transmitted", number(totals.transmitted)},
                 {"ratio", number(totals.ratio)}, {"rays_traced", totals.rays_traced}};
  return j.dump() + "\n";
}

EvaluationRecord EvaluationRecord::from_json(const std::string& text) {
  const Json j = Json::parse(text);
  EvaluationRecord r;
  r.texts = j.at("texts").get<std::vector<std::string>>();
  for (const Json& x : j.at("values")) r.values.push_back(number_of(x));
  r.ok = j.at("ok").get<bool>();
  r.message = j.at("message").get<std::string>();
  for (const Json& x : j.at("goals")) r.goals.push_back(number_of(x));
  const Json& t = j.at("totals");
  r.totals.total = number_of(t.at("total"));
  r.totals.transmitted = number_of(t.at("transmitted"));
  r.totals.ratio = number_of(t.at("ratio"));
  r.totals.rays_traced = t.at("rays_traced").get<std::int64_t>();
  return r;
}

EvaluationStore::EvaluationStore(const std::filesystem::path& folder, const std::string& points_key, std::size_t goals,
                                 bool resume)
    : folder_(folder), goals_(goals) {
  std::error_code ec;
  const std::filesystem::path problem = folder / PROBLEM_FILE;
  const bool same = std::filesystem::is_regular_file(problem, ec) && read_whole_file(problem) == points_key;
  if (resume && std::filesystem::exists(problem, ec) && !same) {
    throw std::invalid_argument(display(folder) + " holds the points of another problem (its sheet, varied cells, "
                                "goals, smoothing or mode differ); choose another folder, or run without --resume");
  }
  const std::map<std::int64_t, std::string> found = records_in(folder);
  // Points without problem.json are some other work's (a study's): never ours to remove.
  if (std::filesystem::exists(folder / "study.json", ec) ||
      (!found.empty() && !std::filesystem::exists(problem, ec))) {
    throw std::invalid_argument(display(folder) + " holds a study or other points, not an optimisation's; "
                                "choose another folder");
  }
  create_points_folder(folder);
  remove_leftovers(folder);
  if (!resume || !same) {
    for (const auto& [index, text] : found) remove_point(folder, index);
    write_atomically(problem, points_key);
    return;
  }
  // Points are numbered in the order they ran; a search that takes them
  // finds them by their cells' text.
  for (const auto& [index, text] : found) {
    next_ = std::max(next_, index + 1);
    try {
      EvaluationRecord r = EvaluationRecord::from_json(text);
      if (r.goals.size() != goals_) throw std::invalid_argument("not a record of this problem");
      records_.emplace(key_of(r.texts), std::move(r));
    } catch (const std::exception&) {
      remove_point(folder, index);  // not a record of ours: run that point again
    }
  }
}

const EvaluationRecord* EvaluationStore::find(const std::vector<std::string>& texts) const {
  const auto it = records_.find(key_of(texts));
  return it == records_.end() ? nullptr : &it->second;
}

void EvaluationStore::add(const EvaluationRecord& record) {
  write_point(folder_, next_++, record.json());
  records_[key_of(record.texts)] = record;
}

}  // namespace varnock
