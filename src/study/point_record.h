// The outcome of one point of a study (or of any run a study-like command
// makes of an edited sheet): the cells' texts and values, whether it ran
// and why not, the totals, the maps' statistics and the IXY grid. Points
// are kept on disk as these records' JSON, one file each.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "report/map_statistics.h"
#include "varnock/varnock.h"

namespace varnock {

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

// The record of point `index`, whose cells were given texts standing for
// values, from its run: a failure becomes a failed record whose message
// names the point and the cell at fault; nothing when the run was
// cancelled, which is no outcome of the point.
std::optional<PointRecord> point_record(std::int64_t index, std::vector<std::string> texts,
                                        std::vector<double> values, const RunResult& result);

}  // namespace varnock
