#include "study/sheet_edit.h"

#include <vector>

namespace varnock {

std::string replace_cells(std::string_view sheet, const std::map<std::pair<int, int>, std::string>& cells) {
  // Lines without their line feed; a line's CR, if any, stays at its end.
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= sheet.size()) {
    const std::size_t end = sheet.find('\n', start);
    if (end == std::string_view::npos) {
      if (start < sheet.size()) lines.emplace_back(sheet.substr(start));
      break;
    }
    lines.emplace_back(sheet.substr(start, end - start));
    start = end + 1;
  }
  const bool crlf = sheet.find("\r\n") != std::string_view::npos;
  const bool ends_with_newline = !sheet.empty() && sheet.back() == '\n';
  for (const auto& [at, text] : cells) {
    const auto [column, row] = at;
    while (static_cast<int>(lines.size()) <= row) lines.emplace_back(crlf ? "\r" : "");
    std::string& line = lines[static_cast<std::size_t>(row)];
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.pop_back();
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
      const std::size_t tab = line.find('\t', from);
      fields.push_back(line.substr(from, tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    while (static_cast<int>(fields.size()) <= column) fields.emplace_back();
    fields[static_cast<std::size_t>(column)] = text;
    line.clear();
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + fields[i];
    if (cr) line += '\r';
  }
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    out += lines[i];
    if (i + 1 < lines.size() || ends_with_newline) out += '\n';
  }
  return out;
}

}  // namespace varnock
