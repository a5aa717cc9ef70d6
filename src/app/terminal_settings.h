// The terminal's settings, filled from the command line and read by the relay.
#pragma once

#include <cstdint>
#include <string>

namespace comterm {

struct TerminalSettings {
  std::int32_t PortNumber = 1;
  std::int32_t BaudRate = 19200;
  bool MyAvrMode = false;
  bool StcMode = false;
  std::int32_t DataBits = 8;
  char ParityLetter = 'N';
  std::int32_t StopBitsCode = 0;
  bool HexMode = false;
  bool SoftFlow = false;
  bool HardFlow = false;
  /// Device opened instead of COM<PortNumber> when not empty (--device=NAME).
  std::string DeviceName;
  /// A lost device ends the run instead of being waited for (--no-reconnect).
  bool NoReconnect = false;
};

/// The one settings record of the process.
extern TerminalSettings Settings;

/// Non-zero bytes received so far; the first one ends the STC sync for good.
extern std::uint64_t ReceivedCount;

}  // namespace comterm
