#include "study/point_store.h"

#include <cstdio>
#include <system_error>

#include "support/files.h"
#include "support/process_files.h"

namespace varnock {

std::string point_file(std::int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%08lld.json", static_cast<long long>(index));
  return name;
}

std::filesystem::path point_path(const std::filesystem::path& folder, std::int64_t index) {
  return folder / POINTS_FOLDER / point_file(index);
}

void create_points_folder(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder / POINTS_FOLDER);
}

std::map<std::int64_t, std::string> records_in(const std::filesystem::path& folder) {
  std::map<std::int64_t, std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder / POINTS_FOLDER, ec)) {
    const std::string name = display(entry.path().filename());
    if (name.size() != 13 || name.substr(8) != ".json" ||
        name.substr(0, 8).find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    found[std::stoll(name.substr(0, 8))] = read_whole_file(entry.path());
  }
  return found;
}

void write_point(const std::filesystem::path& folder, std::int64_t index, const std::string& record) {
  write_atomically(point_path(folder, index), record);
}

bool remove_point(const std::filesystem::path& folder, std::int64_t index) {
  std::error_code ec;
  return std::filesystem::remove(point_path(folder, index), ec);
}

void remove_leftovers(const std::filesystem::path& folder) {
  const auto ours = [](const std::string& name) {
    return name.rfind(".work-", 0) == 0 || name.find(".varnock-tmp-") != std::string::npos;
  };
  remove_left_by_dead_processes(folder, ours);
  remove_left_by_dead_processes(folder / POINTS_FOLDER, ours);
}

}  // namespace varnock
