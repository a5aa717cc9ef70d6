// Finding the machine's serial ports without opening any of them.
#pragma once

#include <string>
#include <vector>

namespace comterm {

/// The serial ports of this machine, one text per port in name order: the name to open
/// first, then what else is known of it. No device is opened.
std::vector<std::string> ListSerialPorts();

}  // namespace comterm
