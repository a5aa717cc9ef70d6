// The telnet byte stream: escaping data for the wire and taking commands out of it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace comterm::telnet {

inline constexpr std::uint8_t kIac = 255;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kSb = 250;
inline constexpr std::uint8_t kSe = 240;

inline constexpr std::uint8_t kOptionBinary = 0;
inline constexpr std::uint8_t kOptionSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptionComPort = 44;

/// Data as it goes on the wire: every 0xFF doubled.
std::string EscapeData(std::string_view data);
/// IAC `verb` `option`, verb one of WILL, WONT, DO, DONT.
std::string Negotiation(std::uint8_t verb, std::uint8_t option);
/// IAC SB `option` payload IAC SE, with 0xFF in the payload doubled.
std::string Subnegotiation(std::uint8_t option, std::string_view payload);

/// A telnet command taken out of the received stream.
struct Command {
  enum class Kind { Negotiation, Subnegotiation, Other };
  Kind kind = Kind::Other;
  std::uint8_t code = 0;    ///< WILL/WONT/DO/DONT, SB, or the other command's byte
  std::uint8_t option = 0;  ///< the option negotiated or subnegotiated
  std::string payload;      ///< a subnegotiation's bytes after the option, unescaped

  bool operator==(const Command&) const = default;
};

/// Splits a received byte stream into data and commands. Keeps its place between calls,
/// so a command may be split across any number of reads.
class Decoder {
 public:
  /// Appends the data bytes of `wire` to `data` and its completed commands to `commands`.
  void Feed(std::string_view wire, std::string* data, std::vector<Command>* commands);

 private:
  enum class State { Data, Iac, Option, SbOption, SbData, SbIac };

  State state_ = State::Data;
  Command pending_;
};

}  // namespace comterm::telnet
