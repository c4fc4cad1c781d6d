// The program's arguments and its console on POSIX systems: UTF-8 already.
#include "platform/platform.h"

namespace varnock::platform {

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void use_utf8_console() {}

}  // namespace varnock::platform
