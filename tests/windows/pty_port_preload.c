// LD_PRELOAD aid for running the Windows build under wine with COM ports on
// pseudo-terminals, making a pty behave as a serial port does in the two ways the program
// relies on:
// - A pty has no modem lines, so TIOCMGET and its siblings fail; wine then cancels every
//   pending WaitCommEvent after a millisecond or two, and a 100 ms receive wait no longer
//   waits. The four modem-line requests are answered here when the real call fails on a
//   terminal: DTR and RTS keep what was last set, CTS, DSR and DCD read as on.
// - A pty carries written bytes to its master at once, yet flushing its output queue
//   (wine's PurgeComm with PURGE_TXCLEAR) takes back what the master has not read yet. On a
//   port, bytes already drained onto the line are gone from the queue, so an output flush
//   on a pty is dropped here and an input flush kept.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

// The lines the program drives; one set per process is enough for one port per test.
static int driven_lines = TIOCM_DTR | TIOCM_RTS;

static ioctl_fn real_ioctl(void) {
  static ioctl_fn next;
  if (!next) next = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  return next;
}

static int is_modem_request(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

// Applies one modem-line request to the emulated lines; `bits` points at the caller's int.
static int emulate(unsigned long request, int* bits) {
  const int driven_mask = TIOCM_DTR | TIOCM_RTS;
  if (request == TIOCMGET) {
    *bits = driven_lines | TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
  } else if (request == TIOCMSET) {
    driven_lines = *bits & driven_mask;
  } else if (request == TIOCMBIS) {
    driven_lines |= *bits & driven_mask;
  } else {
    driven_lines &= ~(*bits & driven_mask);
  }
  return 0;
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);

  int saved_errno = errno;
  int result = real_ioctl()(fd, request, argument);
  if (result == 0 || !is_modem_request(request) || argument == NULL || !isatty(fd)) {
    return result;
  }
  errno = saved_errno;
  return emulate(request, (int*)argument);
}

typedef int (*tcflush_fn)(int, int);

int tcflush(int fd, int queue) {
  static tcflush_fn next;
  if (!next) next = (tcflush_fn)dlsym(RTLD_NEXT, "tcflush");
  if (isatty(fd) && queue == TCOFLUSH) return 0;
  if (isatty(fd) && queue == TCIOFLUSH) queue = TCIFLUSH;
  return next(fd, queue);
}
