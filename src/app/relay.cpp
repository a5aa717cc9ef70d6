#include "app/relay.h"

#include <exception>
#include <memory>
#include <string>

#include "app/terminal_settings.h"
#include "console/keyboard.h"
#include "console/screen_output.h"
#include "runtime/format.h"
#include "serial/block_serial.h"
#include "serial/serial_errors.h"

namespace comterm {
namespace {

const std::string kMyAvrCommandPrefix = "\xD5\xA6\xFD\xE1\xF7\xE2\xC6";
const std::string kDataModeCommand = kMyAvrCommandPrefix + "d";
const std::string kProgrammingModeCommand = kMyAvrCommandPrefix + "p";
const std::string kStcSyncBlock = "\x7F";
constexpr std::int32_t kReceiveWait = 100;
constexpr std::uint8_t kStopKey = 27;

void WriteLine(const std::string& text) {
  PutText(ScreenOutput, text);
  EndLine(ScreenOutput);
}

std::string OpeningLine() {
  const std::string port = Settings.DeviceName.empty() ? Format("com=%d", {Settings.PortNumber})
                                                       : Format("device=%s", {Settings.DeviceName});
  return Format(
      "opening %s baud=%d databits=%d parity=%s stop=%d softflow=%d hardflow=%d hexmode=%d "
      "stcmode=%d",
      {port, Settings.BaudRate, Settings.DataBits, Settings.ParityLetter, Settings.StopBitsCode,
       int{Settings.SoftFlow}, int{Settings.HardFlow}, int{Settings.HexMode},
       int{Settings.StcMode}});
}

std::string PortName() {
  if (!Settings.DeviceName.empty()) return Settings.DeviceName;
  return Format("COM%d", {Settings.PortNumber});
}

// A port that did not open or refused its settings ends the run with one error line.
void RaiseIfFailed(const TBlockSerial& port) {
  if (port.LastErrorCode == 0) return;
  std::string text = port.LastErrorText;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  throw EDorvaneError(port.LastErrorCode, text);
}

void ShowReceivedByte(std::uint8_t b) {
  if (Settings.HexMode) {
    static const char kDigits[] = "0123456789ABCDEF";
    PutText(ScreenOutput, std::string{'#', kDigits[b >> 4], kDigits[b & 15], ' '});
  } else {
    PutChar(ScreenOutput, static_cast<char>(b));
  }
  EndWrite(ScreenOutput);
}

// One pass: the receive wait, the STC sync, the received byte, the keyboard.
// Returns false when the stop key was typed.
bool RelayPass(TBlockSerial& port) {
  const std::uint8_t b = port.ReadByte(kReceiveWait);
  // ReadByte's 0 with no error recorded is a received 0x00 byte, not a timeout.
  const bool received = b != 0 || port.LastErrorCode == 0;
  if (Settings.StcMode && ReceivedCount == 0 && b == 0) {
    PutChar(ScreenOutput, '.');
    EndWrite(ScreenOutput);
    port.WriteBlock(kStcSyncBlock);
  }
  if (received) {
    if (b != 0) ++ReceivedCount;
    ShowReceivedByte(b);
  }
  if (!KeyAvailable()) return true;
  const std::uint8_t key = GetKey();
  if (key == kStopKey) return false;
  PutChar(ScreenOutput, static_cast<char>(key));
  EndWrite(ScreenOutput);
  port.WriteByte(key);
  return true;
}

// The closing steps: switch a myAVR board back to programming mode, then close. The board
// gets its command and the port is closed even when the console cannot show the line.
void CloseRelay(std::unique_ptr<TBlockSerial>& port, bool data_mode_sent) {
  std::exception_ptr console_failure;
  if (Settings.MyAvrMode && data_mode_sent) {
    try {
      WriteLine("MyAVR: switching to programming mode");
    } catch (...) {
      console_failure = std::current_exception();
    }
    port->WriteBlock(kProgrammingModeCommand);
  }
  port.reset();
  if (console_failure) std::rethrow_exception(console_failure);
}

}  // namespace

void RunRelay(CommApi& comm) {
  auto port = std::make_unique<TBlockSerial>(comm);
  bool data_mode_sent = false;
  try {
    WriteLine(OpeningLine());
    port->OpenPort(PortName());
    RaiseIfFailed(*port);
    port->Configure(Settings.BaudRate, Settings.DataBits, Settings.ParityLetter,
                    Settings.StopBitsCode, Settings.SoftFlow, Settings.HardFlow);
    RaiseIfFailed(*port);
    if (Settings.MyAvrMode) {
      WriteLine("MyAVR: switching to data mode");
      port->WriteBlock(kDataModeCommand);
      data_mode_sent = true;
    }
    while (RelayPass(*port)) {
    }
  } catch (...) {
    try {
      CloseRelay(port, data_mode_sent);
    } catch (...) {
      // The error that ended the relay is the one to report.
    }
    throw;
  }
  CloseRelay(port, data_mode_sent);
}

}  // namespace comterm
