#include "study/study_page.h"

#include "report/web_page.h"

namespace varnock {

std::string study_page(const std::string& data_json) { return web_page(WebPage::study, data_json); }

}  // namespace varnock
