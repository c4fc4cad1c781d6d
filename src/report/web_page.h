// The pages Varnock writes for people (report.html, sweep.html and
// trials.html, optimize.html, and the live page varnock watch serves) come
// from web files built into the library: one template per page, holding its
// styles and its script, with a slot for the page's data and one for the
// colour map. A filled page is one self-contained file that refers to
// nothing outside itself.
#pragma once

#include <string>
#include <string_view>

namespace varnock {

enum class WebPage { report, study, watch, optimize };

// The page's template, as the build embedded it.
std::string_view web_page_template(WebPage page);

// The complete HTML5 document of the page for its data object, data_json,
// embedded as embeddable_json() leaves it, with the colour map beside it.
std::string web_page(WebPage page, const std::string& data_json);

}  // namespace varnock
