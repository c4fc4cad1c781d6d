#include "report/html_page.h"

#include <cstddef>
#include <string>

#include "report/web_page.h"

namespace varnock {

std::string embeddable_json(const std::string& data_json) {
  std::string out;
  out.reserve(data_json.size() + data_json.size() / 16);
  for (std::size_t k = 0; k < data_json.size(); ++k) {
    const char c = data_json[k];
    if (c == '\\' && k + 1 < data_json.size()) {
      out += c;  // an escape: its second character is copied as it is
      out += data_json[++k];
    } else if (c == '<') {
      out += "\\u003c";
    } else if (c == '/') {
      out += "\\/";
    } else {
      out += c;
    }
  }
  return out;
}

std::string html_page(const std::string& data_json) { return web_page(WebPage::report, data_json); }

}  // namespace varnock
