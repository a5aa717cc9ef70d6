// Network device names.
#include <gtest/gtest.h>

#include "net/net_address.h"

namespace comterm {
namespace {

TEST(NetAddress, ParsesHostsOfEveryForm) {
  const struct {
    const char* name;
    NetAddress address;
  } cases[] = {
      {"tcp://localhost:2000", {NetScheme::Raw, "localhost", 2000}},
      {"tcp://192.168.1.5:1", {NetScheme::Raw, "192.168.1.5", 1}},
      {"rfc2217://[::1]:65535", {NetScheme::Rfc2217, "::1", 65535}},
      {"rfc2217://[fe80::1%eth0]:7000", {NetScheme::Rfc2217, "fe80::1%eth0", 7000}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseNetAddress(c.name), c.address) << c.name;
    EXPECT_TRUE(HasNetScheme(c.name)) << c.name;
  }
}

TEST(NetAddress, RefusesWhatDoesNotParse) {
  for (const char* name :
       {"tcp://", "tcp://host", "tcp://host:", "tcp://:2000", "tcp://host:0", "tcp://host:65536",
        "tcp://host:20a0", "tcp://host:123456", "tcp://::1:2000", "rfc2217://[::1:2000",
        "rfc2217://[::1]2000", "rfc2217://[]:2000", "telnet://host:23", "TCP://host:23"}) {
    EXPECT_FALSE(ParseNetAddress(name).has_value()) << name;
  }
  EXPECT_FALSE(HasNetScheme("/dev/ttyUSB0"));
  EXPECT_FALSE(HasNetScheme("loop://"));
}

}  // namespace
}  // namespace comterm
