// Running a study into its folder: the points of a task not yet there, side
// by side on the threads, each recorded as it finishes; then, once every
// point is in the folder (or in the folders merged), the CSV and the report.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "study/study_definition.h"

namespace varnock {

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
// Throws std::invalid_argument when the folder holds another study (or
// this one as an earlier version of varnock defined it) or the task is not
// one of the shares, std::runtime_error when a file cannot be written.
StudyResult run_study(const StudyDefinition& definition, const StudyOptions& options);

// Writes the CSV and the report when every point of the study is in the
// folder (elapsed and threads are the page's account of the run): points,
// failed and complete of the result are set, the rest left empty.
StudyResult finish_study(const StudyDefinition& definition, const std::filesystem::path& folder,
                         double elapsed_seconds, unsigned threads);

// Joins study folders (parts of one study, or one study resumed elsewhere)
// into output: the same CSV and report as a single run would have written.
// Throws std::invalid_argument when they are parts of different studies,
// were made by an earlier version of varnock whose statistics differ, or
// points are missing; std::runtime_error when a file cannot be read or
// written.
StudyResult merge_studies(const std::vector<std::filesystem::path>& folders,
                          const std::filesystem::path& output);

}  // namespace varnock
