#include "app/relay.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "app/key_output.h"
#include "app/myavr_commands.h"
#include "app/port_life.h"
#include "app/received_display.h"
#include "app/received_log.h"
#include "app/send_pacer.h"
#include "app/terminal_settings.h"
#include "app/wall_clock.h"
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
  return Format(
      "opening %s baud=%d databits=%d parity=%s stop=%d softflow=%d hardflow=%d hexmode=%d "
      "stcmode=%d",
      {PortLabel(), Settings.BaudRate, Settings.DataBits, Settings.ParityLetter,
       Settings.StopBitsCode, int{Settings.SoftFlow}, int{Settings.HardFlow}, int{Settings.HexMode},
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

// A pass takes every byte one driver read brought; in the STC phase one byte, so the
// rule sees each received 0x00 byte on its own.
constexpr std::size_t kLargestRun = 64 * 1024;
// Keys that come faster than they can be typed (a paste) are echoed and sent as one run;
// while they come, the driver is looked at once per so many keys (bytes already taken
// from it are shown in every pass).
constexpr std::size_t kLargestTypedRun = 1024;
constexpr int kKeysPerLineLook = 256;

struct Relay {
  TBlockSerial& port;
  SilenceClock silence;
  ReceivedLog* log;
  ReceivedDisplay& display;
  KeyOutput& output;
  // Keys typed and not yet handed to the key output.
  std::string typed;
  // Passes in a row that took a key; 0 after a pass without one.
  int keys_in_a_row = 0;
};

bool Syncing() {
  return Settings.StcMode && ReceivedCount == 0;
}

// A key code already taken from the console: GetKey hands it out without waiting.
bool KeyHeld() {
  return Keyboard.PendingKey != 0 || Keyboard.ExtendedPending;
}

// How long the receive wait may block: until the line or the keyboard has something,
// unless a deadline comes first (the STC sync, a paced key). A lone ESC held for its
// quiet gap needs no deadline here: the keyboard's wait handle is signalled when it is due.
std::int32_t ReceiveWaitTimeout(Relay& relay) {
  if (KeyHeld() || !relay.typed.empty()) return 0;
  std::int32_t due = relay.output.MillisecondsUntilDue();
  if (Syncing()) due = std::min(due, kReceiveWait - relay.silence.Elapsed());
  return due == SendPacer::kNothingDue ? static_cast<std::int32_t>(kInfinite) : due;
}

// The receive step: the bytes already taken from the driver, else a receive wait. A key
// the console has already decoded is taken first (its wait handle need not show it), so
// the wait does not block while a key waits. While keys keep coming most passes skip the
// driver, whose look costs system calls.
std::string_view Receive(Relay& relay, std::size_t limit) {
  if (relay.port.LineBuffer.empty() && KeyAvailable() &&
      relay.keys_in_a_row % kKeysPerLineLook != 0) {
    return {};
  }
  return relay.port.ReadRun(ReceiveWaitTimeout(relay), limit);
}

// Hands the typed run to the key output, which echoes and sends it. Every other console
// write comes after it, so a console failure can only be this echo: its keys are not sent.
void SendTypedKeys(Relay& relay) {
  if (relay.typed.empty()) return;
  const std::string keys = std::move(relay.typed);
  relay.typed.clear();
  relay.output.Send(keys, relay.port);
}

void SendStcSync(Relay& relay) {
  SendTypedKeys(relay);
  PutChar(ScreenOutput, '.');
  EndWrite(ScreenOutput);
  relay.display.OtherTextShown();
  relay.port.WriteBlock(kStcSyncBlock);
  relay.silence.Restart();
}

// A run of received bytes is counted, goes to the log, then to the screen. A burst is one
// console write: the statement ends when no received byte is left waiting in the port's
// buffer. Keys typed before the run are shown before it.
void TakeReceived(Relay& relay, std::string_view run) {
  SendTypedKeys(relay);
  ReceivedCount += run.size() - static_cast<std::size_t>(std::count(run.begin(), run.end(), '\0'));
  if (relay.log != nullptr) relay.log->Write(run);
  relay.display.Show(run);
  if (relay.port.LineBuffer.empty()) EndWrite(ScreenOutput);
}

// A typed key other than the stop key: sent with the keys typed with it.
void HandleKey(Relay& relay, std::uint8_t key) {
  relay.typed += static_cast<char>(key);
  if (relay.typed.size() >= kLargestTypedRun || !KeyAvailable()) SendTypedKeys(relay);
}

// One pass: the receive wait, the STC sync, the received run, at most one key code.
// Returns false when the stop key was typed.
bool RelayPass(Relay& relay) {
  const bool syncing = Syncing();
  const std::string_view run = Receive(relay, syncing ? 1 : kLargestRun);
  // A received 0x00 byte is answered like a silent wait.
  if (syncing && (run.empty() ? relay.silence.Elapsed() >= kReceiveWait : run[0] == '\0')) {
    SendStcSync(relay);
  }
  if (!run.empty()) TakeReceived(relay, run);
  relay.output.SendDue(relay.port);
  if (!KeyAvailable()) {
    relay.keys_in_a_row = 0;
    return true;
  }
  const std::uint8_t key = GetKey();
  if (key == kStopKey) return false;
  HandleKey(relay, key);
  ++relay.keys_in_a_row;
  return true;
}

// After a pass, the port's life: a lost device is waited for and taken up again.
// Returns false when Escape was typed while it was away.
bool FollowPort(Relay& relay, PortLife& life) {
  const PortTurn turn = life.AfterPass();
  if (turn == PortTurn::kStop) return false;
  if (turn == PortTurn::kReturned) {
    relay.typed.clear();  // typed while the device was going: it never saw them
    relay.silence.Restart();
    relay.display.OtherTextShown();
  }
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

void RunRelay(CommApi& comm, ReceivedLog* log) {
  auto port = std::make_unique<TBlockSerial>(comm);
  PortLife life(comm, *port);
  try {
    WriteLine(OpeningLine());
    life.Open();
    ReceivedDisplay display(Settings, comm, SystemWallClock());  // elapsed stamps count from here
    KeyOutput output(Settings, comm, display);
    port->SetInputWaitHandle(Keyboard.Api->WaitHandle());
    Relay relay{*port, SilenceClock(comm), log, display, output, {}, 0};
    while (RelayPass(relay) && FollowPort(relay, life)) {
    }
    SendTypedKeys(relay);
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
