// The points of a study folder on disk: one record a point in
// FOLDER/points/NNNNNNNN.json (its index, eight digits), each written
// under a temporary name and renamed when whole, so that a killed process
// leaves whole records or none and a resumed study keeps what was done.
// Any folder whose work is made of numbered points can keep them so.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace varnock {

inline constexpr const char* POINTS_FOLDER = "points";

// "00000042.json" for point 42.
std::string point_file(std::int64_t index);
// FOLDER/points/NNNNNNNN.json.
std::filesystem::path point_path(const std::filesystem::path& folder, std::int64_t index);

// Makes FOLDER/points (and FOLDER) if they are not there.
void create_points_folder(const std::filesystem::path& folder);

// The records in FOLDER/points, by index; files of other names are passed
// over. None when there is no such folder.
std::map<std::int64_t, std::string> records_in(const std::filesystem::path& folder);

// Writes a point's record whole or not at all (write_atomically: it
// throws when the record cannot be written).
void write_point(const std::filesystem::path& folder, std::int64_t index, const std::string& record);

// Removes a point's record; whether there was one.
bool remove_point(const std::filesystem::path& folder, std::int64_t index);

// Removes what processes writing into the folder (and its points) left
// when they were killed: files under temporary names, and the scratch
// folders of workers of earlier versions, which ran their points through
// files. Those of processes that may still be running, here or on another
// machine sharing the folder, are left.
void remove_leftovers(const std::filesystem::path& folder);

}  // namespace varnock
