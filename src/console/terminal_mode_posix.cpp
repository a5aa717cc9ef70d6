#include "console/terminal_mode_posix.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "console/terminal_signals_posix.h"

namespace comterm::posix {
namespace {

// Written before raw mode is entered and read by the signal handlers: plain data only.
termios saved_mode;
termios raw_mode;
volatile sig_atomic_t terminal_fd = -1;
// The terminal may hold raw mode: a restore is due.
volatile sig_atomic_t raw_active = 0;
// Standard input is raw for the whole run (not only while the cursor is asked).
bool raw_for_run = false;
bool exit_hook_installed = false;

// A terminal without job control counts as the foreground.
bool InForeground(int fd) {
  const pid_t group = tcgetpgrp(fd);
  return group < 0 || group == getpgrp();
}

void RestoreAtExit() {
  RestoreTerminalMode();
}

void InstallRestorePaths() {
  InstallTerminalSignals();
  if (exit_hook_installed) return;
  exit_hook_installed = true;
  std::atexit(RestoreAtExit);
}

// Raw input; output processing stays on, so a plain line feed written by anyone still
// starts a new line.
termios RawFrom(termios mode) {
  mode.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  return mode;
}

// The flag goes up before the modes change, so a signal in between restores them.
void ApplyRawMode() {
  raw_active = 1;
  while (tcsetattr(terminal_fd, TCSANOW, &raw_mode) != 0 && errno == EINTR) {
  }
}

bool EnterRawModeOn(int fd) {
  if (tcgetattr(fd, &saved_mode) != 0) return false;
  InstallRestorePaths();
  raw_mode = RawFrom(saved_mode);
  terminal_fd = fd;
  ApplyRawMode();
  return true;
}

}  // namespace

void EnterRawMode() {
  if (raw_for_run || !isatty(STDIN_FILENO)) return;
  raw_for_run = EnterRawModeOn(STDIN_FILENO);
}

void RestoreTerminalMode() {
  if (!raw_active) return;
  if (InForeground(terminal_fd)) tcsetattr(terminal_fd, TCSANOW, &saved_mode);
  raw_active = 0;
}

void ResumeRawMode() {
  if (!TakeContinued() || !raw_for_run || !InForeground(terminal_fd)) return;
  ApplyRawMode();
}

void RestoreTerminalModeInHandler() {
  if (raw_active && InForeground(terminal_fd)) tcsetattr(terminal_fd, TCSANOW, &saved_mode);
}

RawModeWhileAsking::RawModeWhileAsking(int fd) {
  if (raw_active || raw_for_run) return;
  entered_ = EnterRawModeOn(fd);
}

RawModeWhileAsking::~RawModeWhileAsking() {
  if (entered_) RestoreTerminalMode();
}

}  // namespace comterm::posix
