#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "serial/port_list.h"

namespace comterm {
namespace {

// Every DOS device name, as QueryDosDeviceA lists them: zero-terminated names, the list
// ended by a second zero. The buffer grows until the list fits.
std::vector<std::string> DosDeviceNames() {
  std::vector<char> buffer(16384);
  for (;;) {
    const DWORD length =
        ::QueryDosDeviceA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length != 0) {
      buffer.resize(length);
      break;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() > (1u << 24)) return {};
    buffer.resize(buffer.size() * 2);
  }
  std::vector<std::string> names;
  for (std::size_t at = 0; at < buffer.size() && buffer[at] != '\0';) {
    const std::string name(buffer.data() + at);
    names.push_back(name);
    at += name.size() + 1;
  }
  return names;
}

// "COM" and a number from 1, in either case.
int ComNumber(const std::string& name) {
  if (name.size() < 4 || _strnicmp(name.c_str(), "COM", 3) != 0) return 0;
  if (name.find_first_not_of("0123456789", 3) != std::string::npos) return 0;
  return std::atoi(name.c_str() + 3);
}

std::string TargetOf(const std::string& name) {
  char target[1024] = {};
  if (::QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) return "";
  return target;
}

}  // namespace

std::vector<std::string> ListSerialPorts() {
  std::vector<std::pair<int, std::string>> found;
  for (const std::string& name : DosDeviceNames()) {
    const int number = ComNumber(name);
    if (number > 0) found.emplace_back(number, name);
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              found.end());
  std::vector<std::string> ports;
  for (const auto& [number, name] : found) {
    const std::string target = TargetOf(name);
    ports.push_back("COM" + std::to_string(number) + (target.empty() ? "" : " " + target));
  }
  return ports;
}

}  // namespace comterm
