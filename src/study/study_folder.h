// What study a folder holds: its study.json, the definition's text. Points
// join (resumed, run in shares, merged) only with points of the very same
// study.json, so that one table never mixes points of two studies, of two
// ways of running, or of two versions of the map statistics.
#pragma once

#include <filesystem>
#include <string>

#include "study/study_definition.h"

namespace varnock {

inline constexpr const char* STUDY_FILE = "study.json";

// Whether the folder holds this study already: false when it has no
// study.json, true when its study.json is the definition's. Throws
// std::invalid_argument when it holds another study, or this one as an
// earlier version of varnock defined it, whose statistics differ.
bool holds_study(const std::filesystem::path& folder, const StudyDefinition& definition);

// The study.json of a folder to be joined with others. Throws
// std::invalid_argument when it has none, or when an earlier version of
// varnock whose statistics differ wrote it.
std::string study_file_of(const std::filesystem::path& folder);

void write_study_file(const std::filesystem::path& folder, const std::string& definition_json);

}  // namespace varnock
