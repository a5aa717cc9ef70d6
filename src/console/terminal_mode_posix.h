// The terminal's modes on POSIX, with one owner: the modes saved before raw mode, and
// every path that puts them back (normal end, error, the signals that end or stop the
// process). Nothing else in the program changes the modes of the user's terminal.
#pragma once

namespace comterm::posix {

/// Saves the modes of standard input (when it is a terminal) and switches it to raw for
/// the run: no echo, no line editing, no signal keys, no input translation. Calling it
/// again does nothing. The saved modes are restored at exit and on every signal that
/// ends or stops the process (see terminal_signals_posix.h).
void EnterRawMode();

/// Puts the saved modes back; harmless when raw mode was never entered.
void RestoreTerminalMode();

/// After the process was stopped and went on: raw mode again, when the run has it and
/// the process is in the terminal's foreground (in the background the shell owns the
/// terminal). Called from the main flow before keys are read or the terminal is asked.
void ResumeRawMode();

/// For a signal handler: the saved modes back, when the terminal holds raw mode and this
/// process is in its foreground. Only async-signal-safe calls.
void RestoreTerminalModeInHandler();

/// Raw mode on `fd` while it lives, unless the terminal is raw already: the controlling
/// terminal asked for its cursor while standard input is a pipe keeps its own modes
/// otherwise, so Ctrl+C still works there.
class RawModeWhileAsking {
 public:
  explicit RawModeWhileAsking(int fd);
  ~RawModeWhileAsking();
  RawModeWhileAsking(const RawModeWhileAsking&) = delete;
  RawModeWhileAsking& operator=(const RawModeWhileAsking&) = delete;

 private:
  bool entered_ = false;
};

}  // namespace comterm::posix
