// Network device names: "tcp://HOST:PORT" and "rfc2217://HOST:PORT".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace comterm {

/// How the bytes travel over the connection.
enum class NetScheme {
  Raw,      ///< tcp://: the bytes as they are
  Rfc2217,  ///< rfc2217://: telnet with the COM-PORT-OPTION
};

/// A parsed network device name.
struct NetAddress {
  NetScheme scheme = NetScheme::Raw;
  std::string host;  ///< a name, an IPv4 address, or an IPv6 address without its brackets
  std::uint16_t port = 0;

  bool operator==(const NetAddress&) const = default;
};

/// True when `name` starts with one of the network schemes, valid or not.
bool HasNetScheme(const std::string& name);
/// The address in `name`, or nothing when it does not parse (no host, a port that is
/// not a number from 1 to 65535, an unclosed bracket, a colon in an unbracketed host).
std::optional<NetAddress> ParseNetAddress(const std::string& name);

}  // namespace comterm
