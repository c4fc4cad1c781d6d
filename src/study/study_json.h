// What study.json and the point records share: the JSON type they are
// written with (members in the order they are set, so that equal studies
// give equal text), numbers that may not be finite, and bytes as hex.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace varnock {

using StudyJson = nlohmann::ordered_json;

// JSON has no NaN or infinity: such a value is written as null, and null
// (or anything but a number) reads back as NaN.
StudyJson json_number(double value);
double number_of(const StudyJson& j);

// Bytes as lower-case hex digits, two a byte, and back: a sheet's bytes
// kept exactly, whatever their encoding and line ends.
std::string hex_of_bytes(const std::string& bytes);
std::string bytes_of_hex(const std::string& text);

}  // namespace varnock
