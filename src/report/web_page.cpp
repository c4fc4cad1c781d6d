#include "report/web_page.h"

#include <stdexcept>

#include "report/colormap.h"
#include "report/html_page.h"

namespace varnock {
namespace {

// Replaces the one {{slot}} of text with value.
void fill(std::string& text, std::string_view slot, const std::string& value) {
  const std::string mark = "{{" + std::string(slot) + "}}";
  const std::size_t at = text.find(mark);
  if (at == std::string::npos) throw std::logic_error("a page template lacks " + mark);
  text.replace(at, mark.size(), value);
}

}  // namespace

std::string web_page(WebPage page, const std::string& data_json) {
  const std::string_view tmpl = web_page_template(page);
  const std::string data = embeddable_json(data_json);
  std::string text;
  text.reserve(tmpl.size() + data.size() + 8192);
  text = tmpl;
  // The colour map first: the data, filled in second, may hold any text.
  fill(text, "COLORMAP", colormap_json());
  fill(text, "DATA", data);
  return text;
}

}  // namespace varnock
