#include "support/process_files.h"

#include <cctype>

#include "platform/platform.h"
#include "support/files.h"

namespace varnock {

std::string process_tag() {
  std::string tag = platform::host_name();
  for (char& c : tag) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-') c = '_';
  }
  return tag + "-" + std::to_string(platform::process_id());
}

bool left_by_dead_process(const std::string& name) {
  const std::string mine = process_tag();
  const std::string host = mine.substr(0, mine.rfind('-') + 1);
  const std::size_t at = name.rfind(host);
  if (at == std::string::npos || at == 0 || name[at - 1] != '-') return false;
  std::string rest = name.substr(at + host.size());
  rest = rest.substr(0, rest.find('-'));  // scratch folders end -PID-WORKER
  if (rest.empty() || rest.size() > 9 || rest.find_first_not_of("0123456789") != std::string::npos) return false;
  const long long pid = std::stoll(rest);
  return pid != platform::process_id() && platform::process_ended(pid);
}

void remove_left_by_dead_processes(const std::filesystem::path& dir,
                                   const std::function<bool(const std::string&)>& ours) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = display(entry.path().filename());
    if (ours(name) && left_by_dead_process(name)) std::filesystem::remove_all(entry.path(), ec);
  }
}

}  // namespace varnock
