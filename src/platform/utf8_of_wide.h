// UTF-16 text of the Windows API as the UTF-8 the rest of Varnock uses; for
// the Windows side of the platform layer only.
#pragma once

#include <windows.h>

#include <string>

namespace varnock::platform {

inline std::string utf8_of(const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return "";
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(bytes - 1));
  return out;
}

}  // namespace varnock::platform
