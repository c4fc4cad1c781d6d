// A study's table, sweep.csv or trials.csv: a row a point with its cells'
// values, its status and the quantities the report charts. Results only:
// the same bytes however, wherever and in how many parts the study ran.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "study/point_record.h"
#include "study/study_definition.h"

namespace varnock {

// The quantities of a point the table and the charts show, by key, in
// their columns' order: total, transmitted, ratio, then for each of IXY,
// IUV and IUV_P its peak, peak position, centroid, RMS width, FWHM and
// uniformity (MAP_key). NaN for a map the point has no statistics of; a
// default record gives every key.
std::vector<std::pair<std::string, double>> quantities(const PointRecord& record);

// A CSV field: the text as it is, or quoted (quotes doubled) when it holds
// a comma, a quote or a line end.
std::string csv_field(const std::string& text);
// A CSV line: the fields, each as csv_field writes it, joined by commas
// and ended by "\n".
std::string csv_row(const std::vector<std::string>& fields);

// The table of the records, in their order: every double written with
// every digit it has; a failed point's quantities, and those of a map a
// point has no statistics of, left empty (a ratio of no light is "nan").
std::string study_csv(const StudyDefinition& definition, const std::vector<PointRecord>& records);

}  // namespace varnock
