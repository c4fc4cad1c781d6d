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
//
// This header gathers the pieces:
//   study_definition.h  what a study is (study.json), each point's sheet
//   point_record.h      a point's outcome, made from its run
//   point_store.h       the records on disk, points/NNNNNNNN.json
//   study_folder.h      which study a folder holds
//   study_table.h       the CSV
//   study_page_data.h   the report page's data
//   study_run.h         running a study, finishing it, merging folders
#pragma once

#include "study/point_record.h"
#include "study/point_store.h"
#include "study/study_definition.h"
#include "study/study_folder.h"
#include "study/study_page_data.h"
#include "study/study_run.h"
#include "study/study_table.h"
