// The report page: one self-contained HTML file that shows a run's totals,
// the optical system and the three grids as false-colour maps, and prints
// well. It needs nothing but a browser: the CSS, the JavaScript, the data and
// the colour map are all inside it, and it refers to nothing outside.
#pragma once

#include <string>

namespace varnock {

// The complete HTML5 document for data_json, the report's data object (the
// title, the run, the totals, warnings and notes, the three maps with their
// statistics and the system). The page's script draws everything from that
// object, which is embedded as it is, escaped only so that it cannot close
// its script element.
std::string html_page(const std::string& data_json);

// data_json made safe to embed in a script element and free of "//": every
// '<' becomes \u003c and every '/' becomes \/. Both are JSON escapes, and
// both characters can only stand inside strings of valid JSON, so the page
// parses back exactly the same object. Without the second, a link in the
// data (an SVG's xmlns) would put a web address into a page meant to refer
// to nothing.
std::string embeddable_json(const std::string& data_json);

}  // namespace varnock
