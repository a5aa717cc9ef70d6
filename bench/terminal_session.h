// One terminal program under measurement: its serial device is a pseudo-terminal whose
// master end the benchmark holds, and its console is another pseudo-terminal (80x24)
// whose master end the benchmark reads, as the user's terminal would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace comterm::bench {

/// The command line of a terminal program for a given serial device path.
using CommandFor = std::function<std::vector<std::string>(const std::string& device)>;

/// A running terminal program with both its pseudo-terminals.
class TerminalSession {
 public:
  /// Makes the serial pair, starts the program on a fresh console and waits until a key
  /// typed on the console comes out on the serial line. `ready()` says whether it did.
  explicit TerminalSession(const CommandFor& command);
  /// Ends the program (SIGTERM) and closes both pseudo-terminals.
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  /// True when the program relays keys to the serial line.
  bool ready() const { return ready_; }
  /// The master end of the serial pair: bytes written here arrive at the program.
  int serial() const { return serial_master_; }

  /// CPU seconds (user and system) the program has used so far.
  double CpuSeconds() const;
  /// Types `keys` on the console.
  void Type(const std::string& keys);
  /// Reads console output until `text` appears in what was read since the last Forget;
  /// false when `timeout` passed first.
  bool WaitForConsoleText(const std::string& text, std::chrono::milliseconds timeout);
  /// Reads console output for `duration` and discards it.
  void DrainConsole(std::chrono::milliseconds duration);
  /// Discards console output read so far.
  void Forget() { window_.clear(); }
  /// Reads `count` bytes from the serial line within `timeout`; fewer when it passed.
  std::string ReadSerial(std::size_t count, std::chrono::milliseconds timeout);
  /// Waits until the program has written to the console or the serial line, at most
  /// `timeout`.
  void WaitForOutput(std::chrono::milliseconds timeout);
  /// Discards whatever the program has sent on the serial line.
  void DrainSerial();

 private:
  bool ReadConsoleOnce(int timeout_ms);
  void AnswerCursorQueries();
  bool WaitUntilRelaying();

  int serial_master_ = -1;
  int serial_slave_ = -1;
  int console_ = -1;
  pid_t pid_ = -1;
  bool ready_ = false;
  // Console output not yet searched past; trimmed to a short tail while waiting.
  std::string window_;
};

}  // namespace comterm::bench
