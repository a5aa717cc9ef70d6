#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "app/process_api.h"

namespace comterm {

std::vector<std::string> PlatformArguments(int, char**) {
  return SplitCommandLine(GetCommandLineA());
}

std::string PlatformExecutablePath() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

}  // namespace comterm
