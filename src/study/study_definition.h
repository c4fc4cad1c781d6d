// What a study is: the sheet, the cells it varies (a sweep's values, a
// trial's jitter) and how every point runs. It gives each point's cell
// texts and sheet, and is what a study folder's study.json holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "study/cell_names.h"
#include "study/study_values.h"
#include "varnock/sheet.h"
#include "varnock/varnock.h"

namespace varnock {

// The version of the map statistics a study's points are recorded with
// (the records and the CSV's columns hold them), kept in study.json so
// that points of two versions never join in one study. 1 stands for the
// study.json files that do not say, written before the FWHM was measured
// as it is now.
inline constexpr int STUDY_STATISTICS_VERSION = 2;

struct StudyCell {
  ValueCell cell;
  std::vector<double> values;  // a sweep's values
  Jitter jitter;               // a trial's jitter
  double nominal = 0;          // the sheet's own value (read as the reader reads it)
};

struct StudyDefinition {
  enum class Kind { Sweep, Trials } kind = Kind::Sweep;
  std::string sheet_name;  // the sheet's file name
  std::string sheet_text;  // its bytes
  std::vector<StudyCell> cells;
  bool zip = false;            // a sweep's values paired one by one
  std::int64_t trials = 0;     // trials 1..N beside the nominal trial 0
  std::uint64_t seed = 0;
  // How every point runs: part of the study, so that a resumed or merged
  // study never mixes points run one way with points run another.
  bool fast = false;
  SimdPath simd = SimdPath::Auto;
  bool exact_sums = false;
  int statistics = STUDY_STATISTICS_VERSION;

  std::int64_t points() const;
  // The text written into each cell for a point (empty for trial 0, which
  // leaves the sheet as it is), and the values those texts stand for.
  std::vector<std::string> texts(std::int64_t point) const;
  std::vector<double> values(std::int64_t point) const;
  // The point's sheet.
  std::string sheet(std::int64_t point) const;
  const char* kind_name() const { return kind == Kind::Sweep ? "sweep" : "trials"; }
  // What study.json holds; equal definitions give equal text.
  std::string json() const;
  // Back from study.json (the cells' positions in the sheet aside: what a
  // merge needs to write the table and the report). Throws what the JSON
  // library throws for text that is not a study definition.
  static StudyDefinition from_json(const std::string& text);
};

// Reads the sheet (a file, or one held in memory) and resolves the cells:
// throws RunError for a sheet a run would refuse and std::invalid_argument
// for a bad cell name or value.
StudyDefinition sweep_definition(const std::filesystem::path& sheet,
                                 const std::vector<std::pair<std::string, std::string>>& sets,
                                 bool zip, std::vector<std::string>& warnings);
StudyDefinition sweep_definition(const Sheet& sheet,
                                 const std::vector<std::pair<std::string, std::string>>& sets,
                                 bool zip, std::vector<std::string>& warnings);
StudyDefinition trials_definition(const std::filesystem::path& sheet,
                                  const std::vector<std::pair<std::string, std::string>>& jitters,
                                  std::int64_t trials, std::uint64_t seed,
                                  std::vector<std::string>& warnings);
StudyDefinition trials_definition(const Sheet& sheet,
                                  const std::vector<std::pair<std::string, std::string>>& jitters,
                                  std::int64_t trials, std::uint64_t seed,
                                  std::vector<std::string>& warnings);

}  // namespace varnock
