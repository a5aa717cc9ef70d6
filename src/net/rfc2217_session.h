// The client side of a telnet session with the COM-PORT-OPTION: the options it
// negotiates, the commands that set the far port, and what the server answers.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "net/telnet_codec.h"

namespace comterm::rfc2217 {

// COM-PORT-OPTION commands as the client sends them; the server answers with 100 added.
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kNotifyModemState = 7;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerOffset = 100;

// SET-CONTROL values.
inline constexpr std::uint8_t kFlowNone = 1;
inline constexpr std::uint8_t kFlowXonXoff = 2;
inline constexpr std::uint8_t kFlowHardware = 3;
inline constexpr std::uint8_t kBreakOn = 5;
inline constexpr std::uint8_t kBreakOff = 6;
inline constexpr std::uint8_t kDtrOn = 8;
inline constexpr std::uint8_t kDtrOff = 9;
inline constexpr std::uint8_t kRtsOn = 11;
inline constexpr std::uint8_t kRtsOff = 12;

// PURGE-DATA values: the server's receive buffer (bytes from the port), its transmit buffer.
inline constexpr std::uint8_t kPurgeReceive = 1;
inline constexpr std::uint8_t kPurgeTransmit = 2;
inline constexpr std::uint8_t kPurgeBoth = 3;

/// What a SET command sets; SET-CONTROL sets several independent things.
enum class Topic { BaudRate, DataSize, Parity, StopSize, Flow, Break, Dtr, Rts, Other };

/// The topic of a SET command and its value (for SET-CONTROL the value tells).
Topic TopicOf(std::uint8_t command, std::uint32_t value);

/// One COM-PORT-OPTION command with a one-byte value, framed for the wire.
std::string Command(std::uint8_t command, std::uint8_t value);
/// SET-BAUDRATE with its four-byte value, most significant first.
std::string SetBaudRate(std::uint32_t baud);

/// The session state of one connection. Pure: it neither reads nor writes a socket.
class Session {
 public:
  /// What the client says first: it will and asks the server to do BINARY and
  /// SUPPRESS-GO-AHEAD, and it will use the COM-PORT-OPTION.
  std::string Opening();
  /// Takes bytes off the wire: the data bytes are appended to `data`; returns the
  /// bytes to send back (answers to the server's negotiations).
  std::string Receive(std::string_view wire, std::string* data);

  /// The server's last answer on `topic`, if one came since it was forgotten.
  std::optional<std::uint32_t> Answer(Topic topic) const;
  /// Forgets the answer on `topic`, before asking again.
  void Forget(Topic topic) { answers_.erase(topic); }
  /// The modem lines the server last reported (CTS, DSR, RI, CD in the high nibble).
  std::uint8_t ModemState() const { return modem_state_; }
  /// The server refused the COM-PORT-OPTION: the far port cannot be set.
  bool ComPortRefused() const { return com_port_refused_; }
  /// The server has answered the client's offer of the COM-PORT-OPTION, either way.
  bool ComPortSettled() const;

 private:
  /// Where each option stands on one side of the connection.
  struct OptionState {
    bool enabled = false;
    bool requested = false;  ///< asked for and not yet answered
  };

  std::string Negotiate(const telnet::Command& command);
  void Subnegotiate(const telnet::Command& command);

  telnet::Decoder decoder_;
  std::map<std::uint8_t, OptionState> local_;   ///< options this client performs
  std::map<std::uint8_t, OptionState> remote_;  ///< options the server performs
  std::map<Topic, std::uint32_t> answers_;
  std::uint8_t modem_state_ = 0;
  bool com_port_refused_ = false;
};

}  // namespace comterm::rfc2217
