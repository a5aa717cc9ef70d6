#include "net/net_address.h"

#include <string_view>

namespace comterm {
namespace {

constexpr std::string_view kTcpPrefix = "tcp://";
constexpr std::string_view kRfc2217Prefix = "rfc2217://";

std::optional<std::uint16_t> PortNumber(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace

bool HasNetScheme(const std::string& name) {
  return name.starts_with(kTcpPrefix) || name.starts_with(kRfc2217Prefix);
}

std::optional<NetAddress> ParseNetAddress(const std::string& name) {
  NetAddress address;
  std::string_view rest = name;
  if (rest.starts_with(kTcpPrefix)) {
    rest.remove_prefix(kTcpPrefix.size());
  } else if (rest.starts_with(kRfc2217Prefix)) {
    address.scheme = NetScheme::Rfc2217;
    rest.remove_prefix(kRfc2217Prefix.size());
  } else {
    return std::nullopt;
  }
  std::string_view host;
  if (rest.starts_with('[')) {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
      return std::nullopt;
    }
    host = rest.substr(1, close - 1);
    rest.remove_prefix(close + 2);
  } else {
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = rest.substr(0, colon);
    rest.remove_prefix(colon + 1);
  }
  const std::optional<std::uint16_t> port = PortNumber(rest);
  if (host.empty() || !port) return std::nullopt;
  address.host = std::string(host);
  address.port = *port;
  return address;
}

}  // namespace comterm
