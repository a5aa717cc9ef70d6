// The controlling terminal's modes on POSIX: raw while the program runs, restored on
// every exit path (normal end, error, SIGINT, SIGTERM, SIGHUP).
#pragma once

namespace comterm::posix {

/// Saves the mode of standard input (when it is a terminal) and switches it to raw:
/// no echo, no line editing, no signal keys, no input translation. Calling it again
/// does nothing. The saved mode is restored at exit and on the terminating signals.
void EnterRawMode();

/// Puts the saved mode back; harmless when raw mode was never entered.
void RestoreTerminalMode();

}  // namespace comterm::posix
