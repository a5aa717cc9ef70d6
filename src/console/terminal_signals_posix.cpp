#include "console/terminal_signals_posix.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "console/terminal_mode_posix.h"

namespace comterm::posix {
namespace {

constexpr int kEndingSignals[] = {SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGABRT, SIGSEGV, SIGBUS,
                                  SIGFPE,    SIGILL,  SIGTRAP, SIGSYS,  SIGUSR1, SIGUSR2, SIGALRM,
                                  SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPWR};
constexpr int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

volatile sig_atomic_t window_changed = 0;
volatile sig_atomic_t continued = 0;
volatile sig_atomic_t wake_fd = -1;
bool installed = false;

// A handler for a stack overflow needs a stack of its own.
alignas(16) char handler_stack[64 * 1024];

void NoteContinued() {
  continued = 1;
  window_changed = 1;
  if (wake_fd < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wake_fd, &one, sizeof one);
}

// The action was reset to the default on entry (SA_RESETHAND). The signal raised again
// is blocked until the handler returns and then ends the process; a fault raised by an
// instruction happens again when it is retried, now with the default action.
void OnEndingSignal(int signal_number) {
  RestoreTerminalModeInHandler();
  raise(signal_number);
}

void InstallStopHandler(int signal_number);

// Stops by the default action, with the modes restored; the process goes on inside
// `sigprocmask`. A stop signal to an orphaned process group is discarded by the system:
// the handler then returns at once, and the modes are taken again all the same.
void OnStopSignal(int signal_number) {
  const int saved_errno = errno;
  RestoreTerminalModeInHandler();
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  sigemptyset(&default_action.sa_mask);
  sigaction(signal_number, &default_action, nullptr);
  raise(signal_number);
  sigset_t own;
  sigemptyset(&own);
  sigaddset(&own, signal_number);
  sigprocmask(SIG_UNBLOCK, &own, nullptr);
  InstallStopHandler(signal_number);
  NoteContinued();
  errno = saved_errno;
}

void OnContinue(int) {
  const int saved_errno = errno;
  NoteContinued();
  errno = saved_errno;
}

void OnWindowChange(int) {
  window_changed = 1;
}

// Restoring the modes from the handler is allowed even from the background while
// SIGTTOU is blocked; the handler itself checks the foreground first.
void InstallStopHandler(int signal_number) {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int blocked : kStopSignals) sigaddset(&action.sa_mask, blocked);
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

void Install(int signal_number, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(signal_number, &action, nullptr);
}

void InstallHandlerStack() {
  stack_t stack{};
  stack.ss_sp = handler_stack;
  stack.ss_size = sizeof handler_stack;
  sigaltstack(&stack, nullptr);
}

}  // namespace

void InstallTerminalSignals() {
  if (installed) return;
  installed = true;
  ContinueWakeDescriptor();
  InstallHandlerStack();
  for (int signal_number : kEndingSignals) {
    Install(signal_number, OnEndingSignal, SA_RESETHAND | SA_ONSTACK);
  }
  for (int signal_number : kStopSignals) InstallStopHandler(signal_number);
  Install(SIGCONT, OnContinue, SA_RESTART);
  Install(SIGWINCH, OnWindowChange, SA_RESTART);
}

bool TakeWindowChange() {
  if (!window_changed) return false;
  window_changed = 0;
  return true;
}

bool TakeContinued() {
  if (!continued) return false;
  continued = 0;
  return true;
}

int ContinueWakeDescriptor() {
  if (wake_fd < 0) wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return wake_fd;
}

void ClearContinueWake() {
  if (wake_fd < 0) return;
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = read(wake_fd, &count, sizeof count);
}

}  // namespace comterm::posix
