#include "platform/sha256.h"

namespace varnock::platform {

std::string hex_text(const unsigned char* bytes, std::size_t size) {
  static const char* const hex = "0123456789abcdef";
  std::string text;
  text.reserve(2 * size);
  for (std::size_t i = 0; i < size; ++i) {
    text += hex[bytes[i] >> 4];
    text += hex[bytes[i] & 15];
  }
  return text;
}

}  // namespace varnock::platform
