#include "app/key_output.h"

#include <string>

#include "app/received_display.h"
#include "console/screen_output.h"
#include "serial/block_serial.h"

namespace comterm {

KeyOutput::KeyOutput(const TerminalSettings& settings, CommApi& comm, ReceivedDisplay& display)
    : map_(settings.SendMap),
      echo_(!settings.NoEcho),
      display_(display),
      pacer_(comm, settings.CharDelay, settings.LineDelay) {}

void KeyOutput::Send(std::string_view keys, TBlockSerial& port) {
  if (!pacer_.Active()) {
    Transmit(keys, port);
    return;
  }
  pacer_.Hold(keys);
  SendDue(port);
}

void KeyOutput::SendDue(TBlockSerial& port) {
  while (const std::optional<char> key = pacer_.TakeDue())
    Transmit(std::string_view(&*key, 1), port);
}

void KeyOutput::Transmit(std::string_view keys, TBlockSerial& port) {
  const std::string sent = ApplyOutputMap(map_, keys);
  if (echo_) {
    PutText(ScreenOutput, sent);
    EndWrite(ScreenOutput);
    display_.OtherTextShown();
  }
  port.WriteText(sent);
}

}  // namespace comterm
