#include "serial/port_list.h"
#include "serial/sysfs_ports.h"

namespace comterm {

std::vector<std::string> ListSerialPorts() {
  return SysfsSerialPorts("/");
}

}  // namespace comterm
