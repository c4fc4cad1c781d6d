#include "optimize/optimize_page.h"

#include "report/web_page.h"

namespace varnock {

std::string optimize_page(const std::string& data_json) { return web_page(WebPage::optimize, data_json); }

}  // namespace varnock
