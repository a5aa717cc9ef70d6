#include "console/terminal_mode_posix.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

namespace comterm::posix {
namespace {

// Written before raw mode is entered and read by the signal handler: plain data only.
termios saved_mode;
volatile sig_atomic_t raw_mode_active = 0;
bool exit_hooks_installed = false;

constexpr int kTerminatingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Restores the mode, then lets the signal take its default action (SA_RESETHAND has
// already put it back), which happens once the handler returns.
void RestoreOnSignal(int signal_number) {
  if (raw_mode_active) tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
  raise(signal_number);
}

void RestoreAtExit() {
  RestoreTerminalMode();
}

void InstallExitHooks() {
  if (exit_hooks_installed) return;
  exit_hooks_installed = true;
  std::atexit(RestoreAtExit);
  struct sigaction action {};
  action.sa_handler = RestoreOnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signal_number : kTerminatingSignals) sigaction(signal_number, &action, nullptr);
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

}  // namespace

void EnterRawMode() {
  if (raw_mode_active || !isatty(STDIN_FILENO)) return;
  if (tcgetattr(STDIN_FILENO, &saved_mode) != 0) return;
  InstallExitHooks();
  const termios raw = RawFrom(saved_mode);
  raw_mode_active = 1;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
}

void RestoreTerminalMode() {
  if (!raw_mode_active) return;
  tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
  raw_mode_active = 0;
}

}  // namespace comterm::posix
