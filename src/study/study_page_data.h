// The data object of a study's report page (what study_page() embeds):
// the study, its points with their quantities and IXY grids, and for
// trials their statistics.
#pragma once

#include <string>
#include <vector>

#include "study/point_record.h"
#include "study/study_definition.h"

namespace varnock {

// The data object's JSON text. notes are shown on the page (the failed
// points' messages); elapsed_seconds and threads are its account of the
// run (0 for a merge).
std::string study_page_data(const StudyDefinition& definition, const std::vector<PointRecord>& records,
                            const std::vector<std::string>& notes, double elapsed_seconds, unsigned threads);

// The unit of a value cell, by its name ("mm" for TH3), for the charts'
// axes; empty when it has none or is not known.
std::string unit_of(const std::string& value_name);

}  // namespace varnock
