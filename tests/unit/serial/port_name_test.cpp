#include <gtest/gtest.h>

#include "serial_fixture.h"

namespace comterm::testing {
namespace {

TEST(ParsePortNumberTest, TakesTheIndexFromComAndTtySNames) {
  const struct {
    const char* name;
    int index;
  } cases[] = {
      {"COM1", 0},          {"com12", 11},     {"COM-1", -2},     {"COM", -1},
      {"COM0", -1},         {"COMX", -1},      {"COM1:", -1},     {"cOm3", 2},
      {"/dev/ttyS0", 0},    {"/DEV/TTYS4", 4}, {"/dev/ttyS", -2}, {"/dev/ttyUSB0", -1},
      {"\\\\.\\COM12", -1}, {"loop://", -1},   {"", -1},          {"CO", -1},
  };
  FakeComm comm;
  TBlockSerial port(comm);
  for (const auto& c : cases) {
    port.PortIndex = 99;
    port.ParsePortNumber(c.name);
    EXPECT_EQ(port.PortIndex, c.index) << c.name;
  }
  EXPECT_TRUE(comm.Calls().empty());
}

TEST(OpenPortPathTest, OpensTheDevicePathTheNameStandsFor) {
  const struct {
    const char* name;
    const char* path;
  } cases[] = {
      {"COM1", "\\\\.\\COM1"},
      {"com3", "\\\\.\\COM3"},
      {"/dev/ttyS1", "\\\\.\\COM2"},
      {"/dev/ttyS", "\\\\.\\COM-1"},
      {"COM-1", "\\\\.\\COM-1"},
      {"\\\\.\\COM12", "\\\\.\\COM12"},
      {"COM0", "COM0"},
      {"/dev/pts/3", "/dev/pts/3"},
  };
  for (const auto& c : cases) {
    FakeComm comm;
    TBlockSerial port(comm);
    port.OpenPort(c.name);
    const auto opens = comm.CallsNamed("CreateFileA");
    ASSERT_EQ(opens.size(), 1u) << c.name;
    EXPECT_EQ(opens[0], std::string("CreateFileA(") + c.path + ",0xC0000000,0,3,0x40000080)");
    EXPECT_EQ(port.DeviceName, c.path);
  }
}

}  // namespace
}  // namespace comterm::testing
