// Modem command operations: an AT command and its reply lines.
#include <algorithm>
#include <array>
#include <string_view>

#include "serial/block_serial.h"

namespace comterm {

namespace {

// Restores ConvertLineEnd however the reply read ends.
class ConvertLineEndScope {
 public:
  explicit ConvertLineEndScope(bool& flag) : flag_(flag), saved_(flag) { flag_ = true; }
  ~ConvertLineEndScope() { flag_ = saved_; }
  ConvertLineEndScope(const ConvertLineEndScope&) = delete;
  ConvertLineEndScope& operator=(const ConvertLineEndScope&) = delete;

 private:
  bool& flag_;
  bool saved_;
};

constexpr std::array<std::string_view, 4> kConnectFailures = {"NO CARRIER", "ERROR", "BUSY",
                                                              "NO DIALTONE"};

}  // namespace

std::string TBlockSerial::AtCommand(const std::string& command) {
  return ReadModemReply(command, AtTimeout, false);
}

std::string TBlockSerial::AtConnect(const std::string& command) {
  const std::int64_t timeout = std::int64_t{AtTimeout} * 90;
  return ReadModemReply(
      command, static_cast<std::int32_t>(std::clamp<std::int64_t>(timeout, INT32_MIN, INT32_MAX)),
      true);
}

// Sends the command and gathers the reply lines that differ from its echo, each with
// CR LF, until the final result line (`connect` selects the dial results) or an error.
std::string TBlockSerial::ReadModemReply(const std::string& command, std::int32_t timeout,
                                         bool connect) {
  AtResult = false;
  ConvertLineEndScope scope(ConvertLineEnd);
  std::string reply;
  WriteText(command + "\r");
  while (LastErrorCode == 0) {
    const std::string line = ReadLine(timeout);
    if (LastErrorCode != 0) break;
    if (line != command) reply += line + "\r\n";
    if (connect) {
      if (line.starts_with("CONNECT")) {
        AtResult = true;
        break;
      }
      if (std::find(kConnectFailures.begin(), kConnectFailures.end(), line) !=
          kConnectFailures.end()) {
        break;
      }
    } else {
      if (line == "OK") AtResult = true;
      if (line == "OK" || line == "ERROR") break;
    }
  }
  return reply;
}

}  // namespace comterm
