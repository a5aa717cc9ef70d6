#include "app/relay.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/terminal_settings.h"
#include "console/keyboard.h"
#include "console/screen_output.h"
#include "runtime/format.h"
#include "serial/block_serial.h"
#include "serial/serial_errors.h"
#include "serial/ticks.h"

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
  // Keys echoed into ScreenOutput and not yet sent.
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
// unless a deadline comes first. A lone ESC held for its quiet gap needs no deadline
// here: the keyboard's wait handle is signalled when it is due.
std::int32_t ReceiveWaitTimeout(const Relay& relay) {
  if (KeyHeld() || !relay.typed.empty()) return 0;
  if (Syncing()) return kReceiveWait - relay.silence.Elapsed();
  return static_cast<std::int32_t>(kInfinite);
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

// Echoes the typed run, then sends it: every key is on the screen before it is on the line.
void SendTypedKeys(Relay& relay) {
  if (relay.typed.empty()) return;
  EndWrite(ScreenOutput);
  relay.port.WriteBuffer(relay.typed.data(), static_cast<std::int32_t>(relay.typed.size()));
  relay.typed.clear();
}

void SendStcSync(Relay& relay) {
  SendTypedKeys(relay);
  PutChar(ScreenOutput, '.');
  EndWrite(ScreenOutput);
  relay.port.WriteBlock(kStcSyncBlock);
  relay.silence.Restart();
}

void PutHexTokens(std::string_view run) {
  static const char kDigits[] = "0123456789ABCDEF";
  char tokens[4 * 256];
  while (!run.empty()) {
    const std::string_view part = run.substr(0, sizeof tokens / 4);
    char* at = tokens;
    for (const char c : part) {
      const auto b = static_cast<std::uint8_t>(c);
      *at++ = '#';
      *at++ = kDigits[b >> 4];
      *at++ = kDigits[b & 15];
      *at++ = ' ';
    }
    PutText(ScreenOutput, std::string_view(tokens, static_cast<std::size_t>(at - tokens)));
    run.remove_prefix(part.size());
  }
}

// Shows a run of received bytes, as characters or as hex tokens. A burst is one console
// write: the statement ends when no received byte is left waiting in the port's buffer.
void ShowReceived(const TBlockSerial& port, std::string_view run) {
  ReceivedCount += run.size() - static_cast<std::size_t>(std::count(run.begin(), run.end(), '\0'));
  if (Settings.HexMode) {
    PutHexTokens(run);
  } else {
    PutText(ScreenOutput, run);
  }
  if (port.LineBuffer.empty()) EndWrite(ScreenOutput);
}

// A typed key other than the stop key: echoed, and sent with the keys typed with it.
void HandleKey(Relay& relay, std::uint8_t key) {
  PutChar(ScreenOutput, static_cast<char>(key));
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
  if (!run.empty()) ShowReceived(relay.port, run);
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
  std::optional<Relay> relay;
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
    port->SetInputWaitHandle(Keyboard.Api->WaitHandle());
    relay.emplace(Relay{*port, SilenceClock(comm), {}, 0});
    while (RelayPass(*relay)) {
    }
    SendTypedKeys(*relay);
    EndWrite(ScreenOutput);  // a burst cut short by Escape
  } catch (...) {
    // Keys typed before a console failure were echoed into the screen's buffer: they go out.
    if (relay && !relay->typed.empty()) {
      port->WriteBuffer(relay->typed.data(), static_cast<std::int32_t>(relay->typed.size()));
    }
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
