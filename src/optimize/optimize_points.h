// The evaluations of an optimisation on disk, kept as a study keeps its
// points (study/point_store.h): one record a point in the folder's points/,
// numbered in the order they ran and written as each finishes, found again
// by the varied cells' text. problem.json beside them says which problem
// they belong to.
#pragma once

#include <filesystem>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "varnock/varnock.h"

namespace varnock {

struct EvaluationRecord {
  std::vector<std::string> texts;  // the varied cells' text
  std::vector<double> values;
  bool ok = false;
  std::string message;             // a failed run's
  std::vector<double> goals;       // each goal's value (not a number: none)
  RunTotals totals;
  std::string json() const;
  static EvaluationRecord from_json(const std::string& text);
};

class EvaluationStore {
 public:
  // Takes the folder for a problem (its points key and number of goals):
  // with resume, keeps the records of the same problem; without, starts
  // afresh. Throws std::invalid_argument when resume finds another
  // problem's points, or the folder holds a study's or other points.
  EvaluationStore(const std::filesystem::path& folder, const std::string& points_key, std::size_t goals,
                  bool resume);

  const EvaluationRecord* find(const std::vector<std::string>& texts) const;
  void add(const EvaluationRecord& record);  // written before it returns
  std::size_t size() const { return records_.size(); }

 private:
  std::filesystem::path folder_;
  std::size_t goals_ = 0;
  std::int64_t next_ = 0;                            // the next point's number
  std::map<std::string, EvaluationRecord> records_;  // by the texts, tab-joined
};

}  // namespace varnock
