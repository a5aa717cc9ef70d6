// The serial ports that Linux's sysfs describes, read from a tree under any root.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace comterm {

/// The serial ports under `root` (the machine's "/", or a test's copy of the tree): each
/// tty of root/sys/class/tty with a device link, leaving out UART placeholders (a `type`
/// of 0), as "/dev/NAME", then the root/dev/serial/by-id links to it and its driver, in
/// name order with numbers compared by value. Nothing is opened; an absent tree gives none.
std::vector<std::string> SysfsSerialPorts(const std::filesystem::path& root);

}  // namespace comterm
