// The signals that concern the user's terminal, on POSIX. The handlers only restore the
// saved modes, change signal actions, raise, and note what happened for the main flow;
// the main flow does the rest (raw mode again, the new window, the cursor asked again).
#pragma once

namespace comterm::posix {

/// Installs, once:
/// - for every signal whose default action ends the process (SIGINT, SIGTERM, SIGHUP,
///   SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGUSR1, SIGUSR2,
///   SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPWR): the saved terminal modes
///   back, then the default action, so the process still ends by that signal (and dumps
///   core where it would have);
/// - for SIGTSTP, SIGTTIN and SIGTTOU: the saved modes back, then the process stops;
///   when it goes on, that is noted as for SIGCONT;
/// - for SIGCONT: noted, for raw mode and the window to be taken afresh;
/// - for SIGWINCH: noted as a window change.
void InstallTerminalSignals();

/// True once after the terminal's window changed size or the process went on after a
/// stop: the window and the cursor are to be taken afresh.
bool TakeWindowChange();

/// True once after the process went on after a stop.
bool TakeContinued();

/// A descriptor that is readable after the process went on, so that a wait for keys ends
/// and raw mode is entered again at once; ClearContinueWake makes it quiet again. -1
/// when the system has none.
int ContinueWakeDescriptor();
void ClearContinueWake();

}  // namespace comterm::posix
