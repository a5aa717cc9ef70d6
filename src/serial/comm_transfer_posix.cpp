// Overlapped transfers and comm event waits: each is tried at once; what cannot finish
// is left pending, and later waits on the handle drive it (see comm_wait_posix.cpp).
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/comm_posix.h"

namespace comterm {
namespace {

constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;

// All-ones interval with no totals: a read returns at once with what is queued.
bool ReadsReturnAtOnce(const CommTimeouts& timeouts) {
  return timeouts.ReadIntervalTimeout == kAllOnes && timeouts.ReadTotalTimeoutMultiplier == 0 &&
         timeouts.ReadTotalTimeoutConstant == 0;
}

ssize_t Move(int fd, PendingTransfer* transfer) {
  char* at = transfer->data + transfer->done;
  const std::size_t left = transfer->length - transfer->done;
  return transfer->write ? write(fd, at, left) : read(fd, at, left);
}

}  // namespace

void PosixComm::Advance(int fd, PendingTransfer* transfer) {
  while (!transfer->ended && transfer->done < transfer->length) {
    const ssize_t moved = Move(fd, transfer);
    if (moved > 0) {
      transfer->done += static_cast<std::uint32_t>(moved);
    } else if (moved == 0 && !transfer->write) {
      // A non-blocking read of a terminal meets end of file only once it has hung up.
      if (const auto port = ports_.find(fd); port != ports_.end()) port->second.hung_up = true;
      EndTransfer(transfer, EIO);
    } else if (moved == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
      return;
    } else if (errno != EINTR) {
      EndTransfer(transfer, errno);
    }
  }
  if (!transfer->ended) EndTransfer(transfer, 0);
}

void PosixComm::EndTransfer(PendingTransfer* transfer, int error) {
  transfer->ended = true;
  transfer->error = error;
  if (transfer->record != nullptr) Signal(transfer->record->hEvent);
}

bool PosixComm::Finish(const PendingTransfer& transfer, std::uint32_t* count) {
  if (count != nullptr) *count = transfer.done;
  return transfer.error == 0 || Fail(transfer.error);
}

bool PosixComm::ReadFile(CommHandle handle, void* buffer, std::uint32_t length,
                         std::uint32_t* count, Overlapped* overlapped) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  if (overlapped == nullptr) return Fail(EINVAL);
  if (port->read && !port->read->ended) return Fail(EBUSY);
  PendingTransfer transfer{overlapped, static_cast<char*>(buffer), length};
  Advance(static_cast<int>(handle), &transfer);
  if (transfer.ended || ReadsReturnAtOnce(port->timeouts)) return Finish(transfer, count);
  port->read = transfer;
  if (count != nullptr) *count = 0;
  return Fail(static_cast<int>(kErrorIoPending));
}

bool PosixComm::WriteFile(CommHandle handle, const void* buffer, std::uint32_t length,
                          std::uint32_t* count, Overlapped* overlapped) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  if (overlapped == nullptr) return Fail(EINVAL);
  if (port->write && !port->write->ended) return Fail(EBUSY);
  // The buffer is only read from; the record is shared with reads.
  PendingTransfer transfer{overlapped, static_cast<char*>(const_cast<void*>(buffer)), length};
  transfer.write = true;
  Advance(static_cast<int>(handle), &transfer);
  if (transfer.ended) return Finish(transfer, count);
  port->write = transfer;
  if (count != nullptr) *count = 0;
  return Fail(static_cast<int>(kErrorIoPending));
}

bool PosixComm::GetOverlappedResult(CommHandle handle, Overlapped* overlapped, std::uint32_t* count,
                                    bool wait) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  if (port->comm_wait && port->comm_wait->record == overlapped) {
    if (!port->comm_wait->ended && wait) WaitForSingleObject(overlapped->hEvent, kInfinite);
    if (count != nullptr) *count = 0;
    if (!port->comm_wait->ended) return Fail(EINPROGRESS);
    port->comm_wait.reset();
    return !port->hung_up || Fail(EIO);
  }
  for (std::optional<PendingTransfer>* slot : {&port->read, &port->write}) {
    if (!*slot || (*slot)->record != overlapped) continue;
    if (!(*slot)->ended && wait) {
      WaitForSingleObject(overlapped->hEvent != 0 ? overlapped->hEvent : handle, kInfinite);
    }
    const PendingTransfer transfer = **slot;
    if (!transfer.ended) {
      if (count != nullptr) *count = transfer.done;
      return Fail(EINPROGRESS);
    }
    slot->reset();
    return Finish(transfer, count);
  }
  return Fail(EINVAL);
}

bool PosixComm::SetCommMask(CommHandle handle, std::uint32_t mask) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  port->mask = mask;
  // A new mask ends a pending wait, which then reports no event.
  if (port->comm_wait && !port->comm_wait->ended) EndCommWait(port, 0);
  return true;
}

bool PosixComm::WaitCommEvent(CommHandle handle, std::uint32_t* mask, Overlapped* overlapped) {
  PortState* port = Port(handle);
  if (port == nullptr) return false;
  if (port->hung_up) return Fail(EIO);
  if (overlapped == nullptr || events_.count(overlapped->hEvent) == 0 || port->mask == 0 ||
      (port->comm_wait && !port->comm_wait->ended)) {
    return Fail(EINVAL);
  }
  const std::uint32_t now = EventsNow(static_cast<int>(handle), *port);
  if (now != 0) {
    *mask = now;
    return true;
  }
  events_[overlapped->hEvent].signalled = false;
  *mask = 0;
  port->comm_wait = PendingCommWait{overlapped, mask};
  return Fail(static_cast<int>(kErrorIoPending));
}

void PosixComm::HangUp(PortState* port) {
  port->hung_up = true;
  if (port->read && !port->read->ended) EndTransfer(&*port->read, EIO);
  if (port->write && !port->write->ended) EndTransfer(&*port->write, EIO);
  if (port->comm_wait && !port->comm_wait->ended) EndCommWait(port, 0);
}

void PosixComm::EndCommWait(PortState* port, std::uint32_t events) {
  port->comm_wait->ended = true;
  *port->comm_wait->mask = events;
  Signal(port->comm_wait->record->hEvent);
}

std::uint32_t PosixComm::EventsNow(int fd, const PortState& port) {
  std::uint32_t events = 0;
  int queued = 0;
  if ((port.mask & kEvRxChar) != 0 && ioctl(fd, FIONREAD, &queued) == 0 && queued > 0) {
    events |= kEvRxChar;
  }
  if ((port.mask & kEvTxEmpty) != 0 && ioctl(fd, TIOCOUTQ, &queued) == 0 && queued == 0) {
    events |= kEvTxEmpty;
  }
  return events;
}

}  // namespace comterm
