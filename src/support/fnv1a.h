// The 64-bit FNV-1a hash of a text's bytes (Fowler, Noll and Vo): a fixed,
// documented function that gives the same value on every machine.
#pragma once

#include <cstdint>
#include <string_view>

namespace varnock {

inline std::uint64_t fnv1a(std::string_view s) {
  std::uint64_t h = 0xCBF29CE484222325ULL;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001B3ULL;
  }
  return h;
}

}  // namespace varnock
