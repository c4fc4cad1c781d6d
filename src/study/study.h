// Studies of many runs of one sheet: a parameter sweep (the grid of all
// combinations of the values given to some cells, or the values paired one
// by one) and Monte-Carlo tolerance trials (cells jittered about their
// value, trial 0 the nominal sheet). Every point is an ordinary run of the
// sheet with those cells' text replaced, in a fresh model, so it gives the
// very files a first run of the hand-edited sheet gives.
//
// A study folder holds study.json (what the study is), points/ (one
// record per finished point, written as it finishes) and, once every point
// is there, the CSV (results only: the same bytes however the study was
// run) and the HTML report. A study can resume, run in parts (--task K
// --tasks N, each part its own share of the points) and be merged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "report/map_statistics.h"
#include "study/cell_names.h"
#include "study/study_values.h"
#include "varnock/sheet.h"
#include "varnock/varnock.h"

namespace varnock {

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
  // merge needs to write the table and the report).
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

// The outcome of one point.
struct PointRecord {
  std::int64_t index = 0;
  std::vector<std::string> texts;
  std::vector<double> values;
  bool ok = false;
  std::string message;  // a failed point's, naming the point (no paths)
  double dxy = 0, duv = 0;  // the maps' cell pitches
  RunTotals totals;
  std::map<std::string, std::optional<MapStatistics>> stats;  // IXY, IUV, IUV_P
  std::optional<GridValues> ixy;
  std::string json() const;
  static PointRecord from_json(const std::string& text);
};

struct StudyOptions {
  std::filesystem::path folder;
  unsigned threads = 0;        // all of them, shared between points and within them
  bool keep_runs = false;      // each point's files and report in runs/NNNNNN/
  // Keep the finished points of the study in folder. Without it a study
  // starts afresh: a task removes the records of its own share only, so
  // that shares may run into one folder.
  bool resume = false;
  std::int64_t task = 0, tasks = 1;  // run only the points with index % tasks == task
  // Write the CSV and the report once every point is in the folder. The
  // ranks of an MPI job run their shares without, and rank 0 then calls
  // finish_study.
  bool write_outputs = true;
  const std::atomic<bool>* cancel = nullptr;
  std::function<void(std::int64_t done, std::int64_t total, double elapsed)> on_progress;
};

struct StudyResult {
  std::string kind;             // "sweep" or "trials"
  std::string sheet_name;
  std::int64_t points = 0;      // of the whole study
  std::int64_t run_now = 0;     // points this call ran
  std::int64_t failed = 0;      // of the points in the folder
  bool complete = false;        // every point's record is in the folder (CSV and HTML written)
  bool cancelled = false;
  std::vector<std::string> notes;
};

// Runs the points of this task not yet in the folder, side by side on the
// threads, and writes the CSV and the report when the study is complete.
// Throws std::invalid_argument when the folder holds another study or the
// task is not one of the shares, std::runtime_error when a file cannot be
// written.
StudyResult run_study(const StudyDefinition& definition, const StudyOptions& options);

// Writes the CSV and the report when every point of the study is in the
// folder (elapsed and threads are the page's account of the run): points,
// failed and complete of the result are set, the rest left empty.
StudyResult finish_study(const StudyDefinition& definition, const std::filesystem::path& folder,
                         double elapsed_seconds, unsigned threads);

// Joins study folders (parts of one study, or one study resumed elsewhere)
// into output: the same CSV and report as a single run would have written.
// Throws std::invalid_argument when they are parts of different studies or
// points are missing, std::runtime_error when a file cannot be read or
// written.
StudyResult merge_studies(const std::vector<std::filesystem::path>& folders,
                          const std::filesystem::path& output);

}  // namespace varnock
