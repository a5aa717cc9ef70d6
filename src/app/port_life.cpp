#include "app/port_life.h"

#include "app/myavr_commands.h"
#include "app/terminal_settings.h"
#include "console/keyboard.h"
#include "console/screen_output.h"
#include "console/screen_writer.h"
#include "runtime/format.h"
#include "serial/block_serial.h"
#include "serial/serial_errors.h"
#include "serial/ticks.h"

namespace comterm {
namespace {

// Opening a missing device costs one failed system call: four a second is well under
// one percent of a core, and a returning device is taken up within a quarter second.
constexpr std::uint32_t kRetryMs = 250;
constexpr std::uint8_t kStopKey = 27;

std::string PortName() {
  if (!Settings.DeviceName.empty()) return Settings.DeviceName;
  return Format("COM%d", {Settings.PortNumber});
}

std::string WithoutLineBreaks(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// A port that did not open or refused its settings ends the run with one error line.
void RaiseIfFailed(const TBlockSerial& port) {
  if (port.LastErrorCode == 0) return;
  throw EDorvaneError(port.LastErrorCode, WithoutLineBreaks(port.LastErrorText));
}

// The system's text for a loss, as the end of a sentence of ours: no period, no line end.
std::string LossText(CommApi& comm, std::int32_t code) {
  std::string text = WithoutLineBreaks(TBlockSerial::GetErrorDesc(comm, code));
  while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
  return text;
}

// Lines of ours begin on a row of their own, after whatever the line sent last. Output
// that is not a console cannot be asked where its cursor is, so it always gets a line end.
void StartLine() {
  EndWrite(ScreenOutput);
  if (!Console.PlainOutput) FetchCursor();
  if (Console.PlainOutput || Console.CursorColumn != Console.OutputWindow.Left) {
    EndLine(ScreenOutput);
  }
}

void WriteLine(const std::string& text) {
  PutText(ScreenOutput, text);
  EndLine(ScreenOutput);
}

// While the device is away, keys go nowhere: neither shown nor kept. Only Escape counts.
bool DropKeysUntilStop() {
  while (KeyAvailable()) {
    if (GetKey() == kStopKey) return false;
  }
  return true;
}

}  // namespace

std::string PortLabel() {
  return Settings.DeviceName.empty() ? Format("com=%d", {Settings.PortNumber})
                                     : Format("device=%s", {Settings.DeviceName});
}

void PortLife::Open() {
  port_.OpenPort(PortName());
  RaiseIfFailed(port_);
  ApplySettings();
  RaiseIfFailed(port_);
  SwitchToDataMode();
}

void PortLife::ApplySettings() {
  port_.Configure(Settings.BaudRate, Settings.DataBits, Settings.ParityLetter,
                  Settings.StopBitsCode, Settings.SoftFlow, Settings.HardFlow);
}

void PortLife::SwitchToDataMode() {
  if (!Settings.MyAvrMode) return;
  WriteLine("MyAVR: switching to data mode");
  port_.WriteBlock(kDataModeCommand);
  data_mode_sent_ = true;
}

PortTurn PortLife::AfterPass() {
  const std::int32_t code = port_.DeviceLostCode;
  if (code == 0) return PortTurn::kRelay;
  // Sending, purging or draining a missing device could only fail, or hang.
  port_.AbandonPort();
  data_mode_sent_ = false;
  const std::string text = LossText(comm_, code);
  StartLine();
  if (Settings.NoReconnect) throw EDorvaneError(code, text);
  WriteLine("disconnected " + PortLabel() + ": " + text);
  if (!AwaitReturn()) return PortTurn::kStop;
  // The STC sync starts again: the board that returned was reset.
  ReceivedCount = 0;
  return PortTurn::kReturned;
}

bool PortLife::AwaitReturn() {
  std::uint32_t last_try = MillisecondTick(comm_);
  for (;;) {
    const std::uint32_t waited = TickElapsed(last_try, MillisecondTick(comm_));
    if (waited < kRetryMs) {
      comm_.WaitForSingleObject(Keyboard.Api->WaitHandle(), kRetryMs - waited);
      if (!DropKeysUntilStop()) return false;
      continue;
    }
    if (Reopen()) return true;
    last_try = MillisecondTick(comm_);
  }
}

bool PortLife::Reopen() {
  port_.OpenPort(PortName());
  if (!port_.PortOpen) return false;
  ApplySettings();
  // Gone again between the open and the settings: still away.
  if (port_.DeviceLostCode != 0) {
    port_.AbandonPort();
    return false;
  }
  RaiseIfFailed(port_);
  StartLine();
  WriteLine("reconnected " + PortLabel());
  // A myAVR board comes back in programming mode.
  SwitchToDataMode();
  return true;
}

}  // namespace comterm
