// The end of a study: the CSV and the report page, from the records of one
// folder or of several joined.
#include <map>
#include <stdexcept>
#include <system_error>

#include "study/point_record.h"
#include "study/point_store.h"
#include "study/study_folder.h"
#include "study/study_page.h"
#include "study/study_page_data.h"
#include "study/study_run.h"
#include "study/study_table.h"
#include "support/files.h"

namespace varnock {
namespace {

std::vector<PointRecord> all_records(const std::map<std::int64_t, std::string>& found) {
  std::vector<PointRecord> records;
  for (const auto& [index, text] : found) records.push_back(PointRecord::from_json(text));
  return records;
}

std::vector<std::string> failed_notes(const std::vector<PointRecord>& records) {
  std::vector<std::string> notes;
  for (const PointRecord& r : records) {
    if (!r.ok) notes.push_back(r.message);
  }
  return notes;
}

void write_outputs(const StudyDefinition& d, const std::vector<PointRecord>& records,
                   const std::filesystem::path& folder, double elapsed, unsigned threads) {
  const std::string base = d.kind_name();
  write_atomically(folder / (base + ".csv"), study_csv(d, records));
  write_atomically(folder / (base + ".html"),
                   study_page(study_page_data(d, records, failed_notes(records), elapsed, threads)));
}

}  // namespace

StudyResult finish_study(const StudyDefinition& d, const std::filesystem::path& folder,
                         double elapsed_seconds, unsigned threads) {
  StudyResult result;
  result.kind = d.kind_name();
  result.sheet_name = d.sheet_name;
  result.points = d.points();
  const std::map<std::int64_t, std::string> now = records_in(folder);
  const std::vector<PointRecord> records = all_records(now);
  for (const PointRecord& r : records) result.failed += r.ok ? 0 : 1;
  result.complete = static_cast<std::int64_t>(now.size()) == result.points;
  if (result.complete) write_outputs(d, records, folder, elapsed_seconds, threads);
  return result;
}

StudyResult merge_studies(const std::vector<std::filesystem::path>& folders,
                          const std::filesystem::path& output) {
  if (folders.empty()) throw std::invalid_argument("merge needs at least one study folder");
  const std::string definition = study_file_of(folders.front());
  std::map<std::int64_t, std::string> all;
  for (const std::filesystem::path& f : folders) {
    if (study_file_of(f) != definition) {
      throw std::invalid_argument(display(f) + " holds another study than " + display(folders.front()) +
                                  " (their study.json differ)");
    }
    for (const auto& [index, text] : records_in(f)) {
      const auto [it, added] = all.emplace(index, text);
      if (!added && it->second != text) {
        throw std::invalid_argument("point " + std::to_string(index) + " differs between the folders");
      }
    }
  }
  const StudyDefinition d = StudyDefinition::from_json(definition);
  StudyResult result;
  result.kind = d.kind_name();
  result.sheet_name = d.sheet_name;
  result.points = d.points();
  std::vector<std::int64_t> missing;
  for (std::int64_t i = 0; i < result.points && missing.size() < 20; ++i) {
    if (!all.count(i)) missing.push_back(i);
  }
  if (!missing.empty()) {
    std::string list;
    for (std::int64_t i : missing) list += (list.empty() ? "" : ", ") + std::to_string(i);
    throw std::invalid_argument("the folders hold " + std::to_string(all.size()) + " of the study's " +
                                std::to_string(result.points) + " points; missing: " + list +
                                (missing.size() == 20 ? ", ..." : ""));
  }
  create_points_folder(output);
  write_study_file(output, definition);
  for (const auto& [index, text] : all) {
    std::error_code ec;
    if (!std::filesystem::exists(point_path(output, index), ec)) write_point(output, index, text);
  }
  const std::vector<PointRecord> records = all_records(all);
  for (const PointRecord& r : records) result.failed += r.ok ? 0 : 1;
  result.complete = true;
  write_outputs(d, records, output, 0, 0);
  return result;
}

}  // namespace varnock
