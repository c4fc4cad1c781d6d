// How far apart the results in two folders are: whether each result file
// is byte-identical and, from the two reports, how much weight lies in a
// different cell of each grid and how far the totals differ.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "report/report_file.h"

namespace varnock {

struct FileComparison {
  std::string name;
  bool in_a = false, in_b = false;
  bool identical = false;  // both there with the same bytes, or both missing
};

struct GridComparison {
  std::string name;  // IXY, IUV or IUV_P
  // sum over the cells of |a - b| / (2 TOTAL of a): the share of the total
  // weight that lies in a different cell (a ray moved from one cell to
  // another counts once).
  double moved_share = 0;
  double largest_cell_difference = 0;  // the largest |a - b| of one cell
};

struct FolderComparison {
  std::vector<FileComparison> files;  // OUT_MI.txt, OUT_MR.txt, OUT_M.txt
  bool identical = false;             // every file identical
  ReportFile a, b;                    // the two reports
  // |a - b| / max(|a|, |b|): 0 for equal values, not-a-numbers included.
  double total_relative = 0, transmitted_relative = 0;
  std::vector<GridComparison> grids;
};

// Compares the result files of two folders. Throws ReportError when a folder
// or its report is missing or unreadable, or a report is malformed.
FolderComparison compare_folders(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace varnock
