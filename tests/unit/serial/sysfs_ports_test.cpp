#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/sysfs_ports.h"

namespace comterm {
namespace {

namespace fs = std::filesystem;

// A sysfs tree of the test's own: one tty per case, with the parts of the real layout
// the listing reads (the device link, the driver link, `type`, the by-id links).
class SysfsPortsTest : public ::testing::Test {
 protected:
  SysfsPortsTest() {
    std::string pattern = (fs::temp_directory_path() / "comterm-sysfs-XXXXXX").string();
    root_ = mkdtemp(pattern.data());
    fs::create_directories(root_ / "sys/class/tty");
  }
  ~SysfsPortsTest() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // A device under sys/devices bound to `driver` of `bus`.
  fs::path Device(const std::string& path, const std::string& bus, const std::string& driver) {
    const fs::path device = root_ / "sys/devices" / path;
    fs::create_directories(device);
    fs::create_directories(root_ / "sys/bus" / bus / "drivers" / driver);
    fs::create_symlink(fs::relative(root_ / "sys/bus" / bus / "drivers" / driver, device),
                       device / "driver");
    return device;
  }
  void Tty(const std::string& name, const fs::path& device, const std::string& type = "") {
    const fs::path tty = root_ / "sys/class/tty" / name;
    fs::create_directories(tty);
    if (!device.empty()) fs::create_symlink(fs::relative(device, tty), tty / "device");
    if (!type.empty()) std::ofstream(tty / "type") << type << "\n";
  }
  void ById(const std::string& link, const std::string& tty) {
    fs::create_directories(root_ / "dev/serial/by-id");
    fs::create_symlink("../../" + tty, root_ / "dev/serial/by-id" / link);
  }

  fs::path root_;
};

TEST_F(SysfsPortsTest, TtysWithAPresentDeviceInNameOrder) {
  const fs::path platform = Device("platform/serial8250", "platform", "serial8250");
  // Newer kernels: the serial core's port and controller devices between tty and UART.
  Device("pnp0/00:00", "pnp", "serial");
  Device("pnp0/00:00/00:00:0", "serial-base", "ctrl");
  const fs::path port = Device("pnp0/00:00/00:00:0/00:00:0.0", "serial-base", "port");
  const fs::path ftdi = Device("usb1/1-1/1-1:1.0/ttyUSB0", "usb-serial", "ftdi_sio");
  const fs::path acm = Device("usb1/1-2/1-2:1.0", "usb", "cdc_acm");
  const struct {
    std::string name;
    fs::path device;
    std::string type;
  } ttys[] = {
      {"tty0", {}, ""},           // a virtual console: no device
      {"console", {}, ""},        // no device
      {"ttyS1", platform, "0"},   // an 8250 placeholder with no UART behind it
      {"ttyS10", platform, "4"},  // sorted after ttyS2
      {"ttyS2", platform, "4"},  {"ttyS0", port, "4"}, {"ttyUSB0", ftdi, ""}, {"ttyACM0", acm, ""},
  };
  for (const auto& tty : ttys) Tty(tty.name, tty.device, tty.type);
  ById("usb-FTDI_FT232R_USB_UART_A10K-if00-port0", "ttyUSB0");

  EXPECT_EQ(SysfsSerialPorts(root_),
            (std::vector<std::string>{
                "/dev/ttyACM0 cdc_acm",
                "/dev/ttyS0 serial",
                "/dev/ttyS2 serial8250",
                "/dev/ttyS10 serial8250",
                "/dev/ttyUSB0 "
                "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K-if00-port0 "
                "ftdi_sio",
            }));
}

TEST_F(SysfsPortsTest, NoTtyTreeOrNoPortsListsNothing) {
  EXPECT_TRUE(SysfsSerialPorts(root_ / "absent").empty());
  Tty("tty1", {});
  Tty("ttyS0", Device("platform/serial8250", "platform", "serial8250"), "0");
  EXPECT_TRUE(SysfsSerialPorts(root_).empty());
}

}  // namespace
}  // namespace comterm
