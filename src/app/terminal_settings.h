// The terminal's settings, filled from the command line and read by the relay.
#pragma once

#include <cstdint>
#include <string>

#include "app/input_map.h"
#include "app/output_map.h"
#include "app/timestamp_prefix.h"

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
  /// Prefix of received lines or bursts (--timestamps[=FORMAT]); None: no prefix.
  TimestampFormat Timestamps = TimestampFormat::None;
  /// File every received byte is appended to (--log=FILE); empty: no log.
  std::string LogFileName;
  /// Pause after each key sent, ms (--char-delay=MS).
  std::int32_t CharDelay = 0;
  /// Further pause after each Enter sent, ms (--line-delay=MS).
  std::int32_t LineDelay = 0;
  /// Typed keys are sent but not shown (--no-echo).
  bool NoEcho = false;
  /// How received line ends are shown (--imap=NAMES).
  InputMap ReceiveMap;
  /// What is sent for Enter (--omap=NAMES).
  OutputMap SendMap;
};

/// The one settings record of the process.
extern TerminalSettings Settings;

/// Non-zero bytes received so far; the first one ends the STC sync for good.
extern std::uint64_t ReceivedCount;

}  // namespace comterm
