#include "net/rfc2217_session.h"

#include <vector>

namespace comterm::rfc2217 {
namespace {

using telnet::kDo;
using telnet::kDont;
using telnet::kWill;
using telnet::kWont;

bool LocalSupported(std::uint8_t option) {
  return option == telnet::kOptionBinary || option == telnet::kOptionSuppressGoAhead ||
         option == telnet::kOptionComPort;
}

bool RemoteSupported(std::uint8_t option) {
  return option == telnet::kOptionBinary || option == telnet::kOptionSuppressGoAhead;
}

// A baud-rate answer carries four bytes; every other answer one.
std::optional<std::uint32_t> ValueOf(std::uint8_t command, const std::string& payload) {
  if (command == kSetBaudRate) {
    if (payload.size() < 5) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < 5; ++i) value = value << 8 | static_cast<std::uint8_t>(payload[i]);
    return value;
  }
  if (payload.size() < 2) return std::nullopt;
  return static_cast<std::uint8_t>(payload[1]);
}

}  // namespace

Topic TopicOf(std::uint8_t command, std::uint32_t value) {
  switch (command) {
    case kSetBaudRate:
      return Topic::BaudRate;
    case kSetDataSize:
      return Topic::DataSize;
    case kSetParity:
      return Topic::Parity;
    case kSetStopSize:
      return Topic::StopSize;
    case kSetControl:
      if (value >= 1 && value <= 3) return Topic::Flow;
      if (value >= 4 && value <= 6) return Topic::Break;
      if (value >= 7 && value <= 9) return Topic::Dtr;
      if (value >= 10 && value <= 12) return Topic::Rts;
      return Topic::Other;
    default:
      return Topic::Other;
  }
}

std::string Command(std::uint8_t command, std::uint8_t value) {
  const char payload[2] = {static_cast<char>(command), static_cast<char>(value)};
  return telnet::Subnegotiation(telnet::kOptionComPort, std::string_view(payload, 2));
}

std::string SetBaudRate(std::uint32_t baud) {
  const char payload[5] = {static_cast<char>(kSetBaudRate), static_cast<char>(baud >> 24),
                           static_cast<char>(baud >> 16), static_cast<char>(baud >> 8),
                           static_cast<char>(baud)};
  return telnet::Subnegotiation(telnet::kOptionComPort, std::string_view(payload, 5));
}

std::string Session::Opening() {
  std::string wire;
  for (const std::uint8_t option : {telnet::kOptionBinary, telnet::kOptionSuppressGoAhead}) {
    wire += telnet::Negotiation(kWill, option);
    wire += telnet::Negotiation(kDo, option);
    local_[option].requested = true;
    remote_[option].requested = true;
  }
  wire += telnet::Negotiation(kWill, telnet::kOptionComPort);
  local_[telnet::kOptionComPort].requested = true;
  return wire;
}

std::optional<std::uint32_t> Session::Answer(Topic topic) const {
  const auto found = answers_.find(topic);
  if (found == answers_.end()) return std::nullopt;
  return found->second;
}

bool Session::ComPortSettled() const {
  const auto found = local_.find(telnet::kOptionComPort);
  return found != local_.end() && !found->second.requested;
}

std::string Session::Receive(std::string_view wire, std::string* data) {
  std::vector<telnet::Command> commands;
  decoder_.Feed(wire, data, &commands);
  std::string replies;
  for (const telnet::Command& command : commands) {
    if (command.kind == telnet::Command::Kind::Negotiation) replies += Negotiate(command);
    if (command.kind == telnet::Command::Kind::Subnegotiation) Subnegotiate(command);
  }
  return replies;
}

// Answers only what changes an option's state, so two sides never echo each other for
// ever; a request of ours is answered by the server's reply and needs no reply itself.
std::string Session::Negotiate(const telnet::Command& command) {
  const std::uint8_t option = command.option;
  const bool about_local = command.code == kDo || command.code == kDont;
  const bool wanted = command.code == kDo || command.code == kWill;
  OptionState& state = about_local ? local_[option] : remote_[option];
  const bool supported = about_local ? LocalSupported(option) : RemoteSupported(option);
  const bool was_requested = state.requested;
  state.requested = false;
  if (about_local && option == telnet::kOptionComPort) com_port_refused_ = !wanted;
  if (wanted && !supported) return telnet::Negotiation(about_local ? kWont : kDont, option);
  if (state.enabled == wanted) return {};
  state.enabled = wanted;
  if (was_requested) return {};
  if (about_local) return telnet::Negotiation(wanted ? kWill : kWont, option);
  return telnet::Negotiation(wanted ? kDo : kDont, option);
}

void Session::Subnegotiate(const telnet::Command& command) {
  if (command.option != telnet::kOptionComPort || command.payload.empty()) return;
  const auto code = static_cast<std::uint8_t>(command.payload[0]);
  if (code < kServerOffset) return;
  const auto request = static_cast<std::uint8_t>(code - kServerOffset);
  const std::optional<std::uint32_t> value = ValueOf(request, command.payload);
  if (!value) return;
  if (request == kNotifyModemState) {
    modem_state_ = static_cast<std::uint8_t>(*value & 0xF0);
    return;
  }
  const Topic topic = TopicOf(request, *value);
  if (topic != Topic::Other) answers_[topic] = *value;
}

}  // namespace comterm::rfc2217
