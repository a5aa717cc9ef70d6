#include "app/relay.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <string>

#include "app/myavr_commands.h"
#include "app/port_life.h"
#include "app/terminal_settings.h"
#include "console/keyboard.h"
#include "console/screen_output.h"
#include "runtime/format.h"
#include "serial/block_serial.h"
#include "serial/ticks.h"

namespace comterm {
namespace {

const std::string kStcSyncBlock = "\x7F";
constexpr std::int32_t kReceiveWait = 100;
constexpr std::uint8_t kStopKey = 27;

void WriteLine(const std::string& text) {
  PutText(ScreenOutput, text);
  EndLine(ScreenOutput);
}

std::string OpeningLine() {
  const std::string port = PortLabel();
  return Format(
      "opening %s baud=%d databits=%d parity=%s stop=%d softflow=%d hardflow=%d hexmode=%d "
      "stcmode=%d",
      {port, Settings.BaudRate, Settings.DataBits, Settings.ParityLetter, Settings.StopBitsCode,
       int{Settings.SoftFlow}, int{Settings.HardFlow}, int{Settings.HexMode},
       int{Settings.StcMode}});
}

// Measures the silence the STC sync paces itself by: a typed key ends a receive wait
// early, yet the sync still goes out once per 100 ms of silence.
class SilenceClock {
 public:
  explicit SilenceClock(CommApi& comm) : comm_(comm), start_(MillisecondTick(comm)) {}
  std::int32_t Elapsed() const {
    return static_cast<std::int32_t>(
        std::min<std::uint32_t>(TickElapsed(start_, MillisecondTick(comm_)), kReceiveWait));
  }
  void Restart() { start_ = MillisecondTick(comm_); }

 private:
  CommApi& comm_;
  std::uint32_t start_;
};

// Looking at the keyboard costs a system call, taking a byte from the port's buffer none:
// within a burst the keyboard is looked at every so many bytes and when the burst ends.
constexpr int kBurstBytesPerKeyCheck = 64;

class KeyCheckPace {
 public:
  bool Due(const TBlockSerial& port, bool received) {
    // The second code of an extended key is always taken in the very next pass.
    if (!received || port.LineBuffer.empty() || Keyboard.PendingKey != 0 ||
        Keyboard.ExtendedPending || ++burst_bytes_ >= kBurstBytesPerKeyCheck) {
      burst_bytes_ = 0;
      return true;
    }
    return false;
  }

 private:
  int burst_bytes_ = 0;
};

// A burst is shown in one console write: the statement ends only when no further
// received byte is already waiting in the port's buffer.
void ShowReceivedByte(const TBlockSerial& port, std::uint8_t b) {
  if (Settings.HexMode) {
    static const char kDigits[] = "0123456789ABCDEF";
    PutText(ScreenOutput, std::string{'#', kDigits[b >> 4], kDigits[b & 15], ' '});
  } else {
    PutChar(ScreenOutput, static_cast<char>(b));
  }
  if (port.LineBuffer.empty()) EndWrite(ScreenOutput);
}

// One pass: the receive wait, the STC sync, the received byte, the keyboard.
// Returns false when the stop key was typed.
bool RelayPass(TBlockSerial& port, SilenceClock& silence, KeyCheckPace& keys) {
  const bool syncing = Settings.StcMode && ReceivedCount == 0;
  const std::uint8_t b = port.ReadByte(syncing ? kReceiveWait - silence.Elapsed() : kReceiveWait);
  // ReadByte's 0 with no error recorded is a received 0x00 byte, not a timeout.
  const bool received = b != 0 || port.LastErrorCode == 0;
  if (syncing && b == 0 && (received || silence.Elapsed() >= kReceiveWait)) {
    PutChar(ScreenOutput, '.');
    EndWrite(ScreenOutput);
    port.WriteBlock(kStcSyncBlock);
    silence.Restart();
  }
  if (received) {
    if (b != 0) ++ReceivedCount;
    ShowReceivedByte(port, b);
  }
  if (!keys.Due(port, received) || !KeyAvailable()) return true;
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
  PortLife life(comm, *port);
  try {
    WriteLine(OpeningLine());
    life.Open();
    port->SetInputWaitHandle(Keyboard.Api->WaitHandle());
    SilenceClock silence(comm);
    KeyCheckPace keys;
    while (RelayPass(*port, silence, keys)) {
      const PortTurn turn = life.AfterPass();
      if (turn == PortTurn::kStop) break;
      if (turn == PortTurn::kReturned) silence.Restart();
    }
    EndWrite(ScreenOutput);  // a burst cut short by Escape
  } catch (...) {
    try {
      CloseRelay(port, life.DataModeSent());
    } catch (...) {
      // The error that ended the relay is the one to report.
    }
    throw;
  }
  CloseRelay(port, life.DataModeSent());
}

}  // namespace comterm
