// The report page of a study of many runs: sweep.html for a parameter sweep,
// trials.html for Monte-Carlo tolerance trials. Like report.html it is one
// self-contained HTML file (CSS, JavaScript, data and colour map inside it,
// nothing fetched) that draws itself from one embedded data object and
// prints well.
#pragma once

#include <string>

namespace varnock {

// The complete HTML5 document for data_json, the study's data object: its
// kind ("sweep" or "trials"), title, summary, notes, the cells it varied
// (and for trials how they were drawn), the quantities to show, and every
// point with its values, outcome, quantities and IXY grid. The page's script
// draws the charts, the tables and the strip of IXY maps from that object,
// which is embedded as embeddable_json() leaves it.
std::string study_page(const std::string& data_json);

}  // namespace varnock
