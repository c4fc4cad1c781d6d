// The program's arguments and its console on Windows. Apart from the rest
// of the platform layer because the command line's parser lives in
// shell32.dll, which the drop-in library must not import.
#include <windows.h>

#include <shellapi.h>

#include "platform/platform.h"
#include "platform/utf8_of_wide.h"

namespace varnock::platform {
std::vector<std::string> utf8_arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(utf8_of(wide[i]));
  LocalFree(wide);
  return arguments;
}

void use_utf8_console() {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
}

}  // namespace varnock::platform
