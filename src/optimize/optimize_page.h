// The report page of an optimisation, optimize.html: like report.html one
// self-contained HTML file (CSS, JavaScript, data and colour map inside it,
// nothing fetched) that draws itself from one embedded data object and
// prints well.
#pragma once

#include <string>

namespace varnock {

// The complete HTML5 document for data_json, the optimisation's data object:
// its title, sheet, method and settings, notes, the variables (bounds, start,
// best) and goals (values, terms and contributions at the start and the best
// point, smoothed and exact), the merit, every evaluation in order with its
// merit, values and phase, and the IXY grids of the exact start and best
// runs. The page's script draws the merit chart, the variables' paths, the
// two maps and the tables from that object, which is embedded as
// embeddable_json() leaves it.
std::string optimize_page(const std::string& data_json);

}  // namespace varnock
