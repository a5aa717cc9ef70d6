// Modem lines, break, queue counts, purge and drain.
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>

#include "serial/comm_posix.h"
#include "serial/eintr_retry_posix.h"

namespace comterm {
namespace {

// A drain never waits longer than this: a peer that stops reading must not hang us.
constexpr std::int64_t kDrainLimitMs = 30000;
constexpr std::uint32_t kDrainStepMs = 5;
constexpr std::uint32_t kAllPurgeFlags =
    kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;

int ModemLineOf(std::uint32_t function) {
  return function == kSetRts || function == kClrRts ? TIOCM_RTS : TIOCM_DTR;
}

// Only bytes still in the output queue are unsent. On a pseudo-terminal the queue is
// always empty and an output flush would discard what the peer has not read yet,
// bytes that have in truth been sent; so with nothing queued it is left out.
bool OutputQueued(int fd) {
  int queued = 0;
  return ioctl(fd, TIOCOUTQ, &queued) != 0 || queued > 0;
}

std::uint32_t ModemStatusOf(int lines) {
  std::uint32_t status = 0;
  if ((lines & TIOCM_CTS) != 0) status |= kMsCtsOn;
  if ((lines & TIOCM_DSR) != 0) status |= kMsDsrOn;
  if ((lines & TIOCM_RNG) != 0) status |= kMsRingOn;
  if ((lines & TIOCM_CAR) != 0) status |= kMsRlsdOn;
  return status;
}

}  // namespace

bool PosixComm::EscapeCommFunction(CommHandle handle, std::uint32_t function,
                                   std::uint16_t* base_address) {
  if (Port(handle) == nullptr) return false;
  if (function == kGetBaseAddress && base_address != nullptr) *base_address = 0;
  if (function < kSetRts || function > kClrDtr) return Fail(EINVAL);
  const int line = ModemLineOf(function);
  const bool raise = function == kSetRts || function == kSetDtr;
  return ioctl(static_cast<int>(handle), raise ? TIOCMBIS : TIOCMBIC, &line) == 0 || Fail(errno);
}

bool PosixComm::GetCommModemStatus(CommHandle handle, std::uint32_t* status) {
  if (Port(handle) == nullptr) return false;
  int lines = 0;
  if (ioctl(static_cast<int>(handle), TIOCMGET, &lines) != 0) return Fail(errno);
  *status = ModemStatusOf(lines);
  return true;
}

bool PosixComm::SetCommBreak(CommHandle handle) {
  if (Port(handle) == nullptr) return false;
  return ioctl(static_cast<int>(handle), TIOCSBRK) == 0 || Fail(errno);
}

bool PosixComm::ClearCommBreak(CommHandle handle) {
  if (Port(handle) == nullptr) return false;
  return ioctl(static_cast<int>(handle), TIOCCBRK) == 0 || Fail(errno);
}

bool PosixComm::PurgeComm(CommHandle handle, std::uint32_t flags) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  if (flags == 0 || (flags & ~kAllPurgeFlags) != 0) return Fail(EINVAL);
  // An aborted transfer ends with what it has moved so far.
  if ((flags & kPurgeTxAbort) != 0 && port->write && !port->write->ended) {
    port->write->ended = true;
    port->write->error = ECANCELED;
  }
  if ((flags & kPurgeRxAbort) != 0 && port->read && !port->read->ended) {
    port->read->ended = true;
    port->read->error = ECANCELED;
  }
  const int fd = static_cast<int>(handle);
  const bool tx = (flags & kPurgeTxClear) != 0 && OutputQueued(fd);
  const bool rx = (flags & kPurgeRxClear) != 0;
  if (!tx && !rx) return true;
  const int queues = tx && rx ? TCIOFLUSH : (tx ? TCOFLUSH : TCIFLUSH);
  return tcflush(fd, queues) == 0 || Fail(errno);
}

bool PosixComm::FlushFileBuffers(CommHandle handle) {
  if (Port(handle) == nullptr) return false;
  const int fd = static_cast<int>(handle);
  const std::int64_t deadline = MonotonicMilliseconds() + kDrainLimitMs;
  // tcdrain cannot be bounded, so it only runs once the queue is empty and nothing but
  // the transmitter is left; until then the queue is watched in short sleeps.
  for (;;) {
    int queued = 0;
    if (ioctl(fd, TIOCOUTQ, &queued) != 0) return Fail(errno);
    if (queued == 0) break;
    if (MonotonicMilliseconds() >= deadline) return Fail(ETIMEDOUT);
    Sleep(kDrainStepMs);
  }
  return RetryAfterSignal([&] { return tcdrain(fd); }) == 0 || Fail(errno);
}

bool PosixComm::ClearCommError(CommHandle handle, std::uint32_t* errors, ComStat* stat) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  const int fd = static_cast<int>(handle);
  int in_queue = 0;
  int out_queue = 0;
  // The queue counts cost two system calls, paid only by a caller that takes them: the
  // line errors after every transfer are asked for without them.
  if (stat != nullptr &&
      (ioctl(fd, FIONREAD, &in_queue) != 0 || ioctl(fd, TIOCOUTQ, &out_queue) != 0)) {
    return Fail(errno);
  }
  LineCounts now;
  std::uint32_t flags = 0;
  if (port->has_line_counts && ReadLineCounts(fd, &now)) {
    flags = LineErrorFlags(port->counts, now);
    port->counts = now;
  }
  if (errors != nullptr) *errors = flags;
  if (stat != nullptr) {
    *stat = ComStat{0, static_cast<std::uint32_t>(in_queue), static_cast<std::uint32_t>(out_queue)};
  }
  return true;
}

}  // namespace comterm
