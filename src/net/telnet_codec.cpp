#include "net/telnet_codec.h"

namespace comterm::telnet {
namespace {

bool IsNegotiationVerb(std::uint8_t b) {
  return b == kWill || b == kWont || b == kDo || b == kDont;
}

}  // namespace

std::string EscapeData(std::string_view data) {
  std::string wire;
  wire.reserve(data.size());
  for (const char c : data) {
    wire += c;
    if (static_cast<std::uint8_t>(c) == kIac) wire += c;
  }
  return wire;
}

std::string Negotiation(std::uint8_t verb, std::uint8_t option) {
  return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string Subnegotiation(std::uint8_t option, std::string_view payload) {
  std::string wire{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(option)};
  wire += EscapeData(payload);
  wire += static_cast<char>(kIac);
  wire += static_cast<char>(kSe);
  return wire;
}

void Decoder::Feed(std::string_view wire, std::string* data, std::vector<Command>* commands) {
  for (const char c : wire) {
    const auto b = static_cast<std::uint8_t>(c);
    switch (state_) {
      case State::Data:
        if (b == kIac) {
          state_ = State::Iac;
        } else {
          *data += c;
        }
        break;
      case State::Iac:
        if (b == kIac) {
          *data += c;
          state_ = State::Data;
        } else if (IsNegotiationVerb(b)) {
          pending_ = Command{Command::Kind::Negotiation, b, 0, {}};
          state_ = State::Option;
        } else if (b == kSb) {
          pending_ = Command{Command::Kind::Subnegotiation, b, 0, {}};
          state_ = State::SbOption;
        } else {
          commands->push_back(Command{Command::Kind::Other, b, 0, {}});
          state_ = State::Data;
        }
        break;
      case State::Option:
        pending_.option = b;
        commands->push_back(pending_);
        state_ = State::Data;
        break;
      case State::SbOption:
        pending_.option = b;
        state_ = State::SbData;
        break;
      case State::SbData:
        if (b == kIac) {
          state_ = State::SbIac;
        } else {
          pending_.payload += c;
        }
        break;
      case State::SbIac:
        if (b == kIac) {
          pending_.payload += c;
          state_ = State::SbData;
          break;
        }
        // IAC SE ends the subnegotiation; any other command after IAC ends it too and is
        // then read as that command, so a lost SE cannot swallow the data that follows.
        commands->push_back(pending_);
        state_ = State::Data;
        if (b != kSe) {
          const char iac_then[2] = {static_cast<char>(kIac), c};
          Feed(std::string_view(iac_then, 2), data, commands);
        }
        break;
    }
  }
}

}  // namespace comterm::telnet
