// The key step: typed keys translated by the output map, echoed unless --no-echo, and sent,
// paced when delays are asked for.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/output_map.h"
#include "app/send_pacer.h"
#include "app/terminal_settings.h"

namespace comterm {

class CommApi;
class ReceivedDisplay;
class TBlockSerial;

class KeyOutput {
 public:
  /// The echo is shown on the rows of `display`, which is told of it.
  KeyOutput(const TerminalSettings& settings, CommApi& comm, ReceivedDisplay& display);

  /// Sends typed key codes (Escape excluded), or holds them when a pause is running.
  void Send(std::string_view keys, TBlockSerial& port);
  /// Sends the held keys whose pause is over.
  void SendDue(TBlockSerial& port);
  /// Milliseconds until a held key is due (SendPacer::kNothingDue when none is held):
  /// the receive wait ends by then.
  std::int32_t MillisecondsUntilDue() { return pacer_.MillisecondsUntilDue(); }

 private:
  /// Translates, echoes what is sent, then sends it.
  void Transmit(std::string_view keys, TBlockSerial& port);

  OutputMap map_;
  bool echo_;
  ReceivedDisplay& display_;
  SendPacer pacer_;
};

}  // namespace comterm
