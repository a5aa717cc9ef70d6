#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>
#include <tuple>

#include "serial/sysfs_ports.h"

namespace comterm {
namespace {

namespace fs = std::filesystem;

// "ttyS10" after "ttyS2": the trailing digits compare by value.
std::tuple<std::string, std::size_t, std::string> NameOrder(const std::string& name) {
  const std::size_t digits = name.find_last_not_of("0123456789") + 1;
  return {name.substr(0, digits), name.size() - digits, name.substr(digits)};
}

// An 8250 driver registers a tty for every port it might have; those without a UART
// behind them report type 0 (unknown).
bool IsPlaceholder(const fs::path& tty) {
  std::ifstream file(tty / "type");
  int type = -1;
  return file >> type && type == 0;
}

// Newer kernels put a port device of the serial core's own bus ("serial-base") between
// the tty and the hardware; the driver that names the hardware is further up.
std::string DriverOf(const fs::path& tty) {
  std::error_code error;
  fs::path device = fs::canonical(tty / "device", error);
  if (error) return "";
  for (int level = 0; level < 4 && device.has_relative_path(); ++level) {
    const fs::path driver = fs::read_symlink(device / "driver", error);
    if (error) return "";
    if (driver.string().find("/serial-base/") == std::string::npos) {
      return driver.filename().string();
    }
    device = device.parent_path();
  }
  return "";
}

// The by-id links of each tty name, in name order.
std::multimap<std::string, std::string> ByIdLinks(const fs::path& root) {
  std::multimap<std::string, std::string> links;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(root / "dev/serial/by-id", error)) {
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (error) continue;
    links.emplace(target.filename().string(),
                  "/dev/serial/by-id/" + entry.path().filename().string());
  }
  return links;
}

}  // namespace

std::vector<std::string> SysfsSerialPorts(const fs::path& root) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(root / "sys/class/tty", error)) {
    const fs::path tty = entry.path();
    if (!fs::exists(tty / "device", error) || IsPlaceholder(tty)) continue;
    names.push_back(tty.filename().string());
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return NameOrder(a) < NameOrder(b); });
  const auto by_id = ByIdLinks(root);
  std::vector<std::string> ports;
  for (const std::string& name : names) {
    std::string line = "/dev/" + name;
    const auto [first, last] = by_id.equal_range(name);
    std::vector<std::string> links;
    for (auto it = first; it != last; ++it) links.push_back(it->second);
    std::sort(links.begin(), links.end());
    for (const std::string& link : links) line += " " + link;
    const std::string driver = DriverOf(root / "sys/class/tty" / name);
    if (!driver.empty()) line += " " + driver;
    ports.push_back(line);
  }
  return ports;
}

}  // namespace comterm
