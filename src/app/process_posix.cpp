#include <unistd.h>

#include <climits>

#include "app/process_api.h"

namespace comterm {

std::vector<std::string> PlatformArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string PlatformExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0) return std::string();
  return std::string(path, static_cast<std::size_t>(length));
}

}  // namespace comterm
