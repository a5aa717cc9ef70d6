// The life of the relay's port: opening and configuring it, telling when its device is
// gone, waiting for it to come back and taking it up again.
#pragma once

#include <cstdint>
#include <string>

namespace comterm {

class CommApi;
class TBlockSerial;

/// What the relay does after a pass.
enum class PortTurn {
  kRelay,     ///< the port is as it was: go on
  kReturned,  ///< the device was lost and is back, configured anew: go on from a fresh start
  kStop,      ///< Escape was typed while the device was away
};

/// The port as the opening line names it: "com=3" or "device=/dev/ttyUSB0".
std::string PortLabel();

/// Drives one port object through the relay's run, with the process-wide Settings.
class PortLife {
 public:
  PortLife(CommApi& comm, TBlockSerial& port) : comm_(comm), port_(port) {}

  /// Opens the port and applies the settings; a myAVR board is then switched to data
  /// mode. A port that does not open or refuses its settings raises EDorvaneError.
  void Open();
  /// Called after the transfers of a pass. When the device is gone the port is closed
  /// and the loss reported; with NoReconnect that raises EDorvaneError, otherwise the
  /// port is reopened once the device returns, or the wait ends with Escape.
  PortTurn AfterPass();
  /// True while a myAVR board in data mode is present: the closing steps switch it back.
  bool DataModeSent() const { return data_mode_sent_; }

 private:
  /// Configure with the settings of the command line.
  void ApplySettings();
  /// In myAVR mode: the data-mode line and command.
  void SwitchToDataMode();
  /// Waits for the device, trying to open it every so often; false on Escape.
  bool AwaitReturn();
  /// One attempt to open and configure the port again; true when it is back.
  bool Reopen();

  CommApi& comm_;
  TBlockSerial& port_;
  bool data_mode_sent_ = false;
};

}  // namespace comterm
