#include "study/study_folder.h"

#include <optional>
#include <stdexcept>
#include <system_error>

#include "support/files.h"

namespace varnock {
namespace {

// The definition study.json's text stands for, or nothing when it is not
// one (left to the checks that compare the text as it is).
std::optional<StudyDefinition> definition_in(const std::string& study_json) {
  try {
    return StudyDefinition::from_json(study_json);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::invalid_argument older_statistics(const std::filesystem::path& folder) {
  return std::invalid_argument(display(folder) + " was made by an earlier version of varnock whose statistics "
                               "columns (FWHM) differ; run the study afresh in another folder");
}

}  // namespace

bool holds_study(const std::filesystem::path& folder, const StudyDefinition& definition) {
  const std::filesystem::path file = folder / STUDY_FILE;
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return false;
  const std::string held = read_whole_file(file);
  const std::string wanted = definition.json();
  if (held == wanted) return true;
  // The same study but for the statistics' version: its points would give
  // other columns than this version's, so it cannot be resumed either.
  std::optional<StudyDefinition> earlier = definition_in(held);
  if (earlier && earlier->statistics < definition.statistics) {
    earlier->statistics = definition.statistics;
    if (earlier->json() == wanted) throw older_statistics(folder);
  }
  throw std::invalid_argument(display(folder) + " holds another study (its study.json differs); choose another "
                              "folder, or remove that one");
}

std::string study_file_of(const std::filesystem::path& folder) {
  const std::filesystem::path file = folder / STUDY_FILE;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    throw std::invalid_argument(display(folder) + " is not a study folder (it has no study.json)");
  }
  std::string text = read_whole_file(file);
  const std::optional<StudyDefinition> d = definition_in(text);
  if (d && d->statistics < STUDY_STATISTICS_VERSION) throw older_statistics(folder);
  return text;
}

void write_study_file(const std::filesystem::path& folder, const std::string& definition_json) {
  write_atomically(folder / STUDY_FILE, definition_json);
}

}  // namespace varnock
