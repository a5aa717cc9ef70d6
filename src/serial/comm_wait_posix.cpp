// Waits on ports, events and plain descriptors. Each wait sleeps in poll on the
// descriptors that can move its handles on, and drives pending transfers and comm
// waits whenever poll wakes.
#include <poll.h>

#include <algorithm>
#include <climits>

#include "serial/comm_posix.h"

namespace comterm {
namespace {

// The output queue running empty is not a poll event; it is looked at in this step.
constexpr int kTxEmptyStepMs = 10;

bool Pending(const std::optional<PendingTransfer>& transfer) {
  return transfer && !transfer->ended;
}

bool Pending(const std::optional<PendingCommWait>& wait) {
  return wait && !wait->ended;
}

bool Signals(const std::optional<PendingTransfer>& transfer, CommHandle event) {
  return Pending(transfer) && transfer->record->hEvent == event;
}

}  // namespace

std::uint32_t PosixComm::WaitForSingleObject(CommHandle handle, std::uint32_t milliseconds) {
  return WaitForMultipleObjects(1, &handle, milliseconds);
}

std::uint32_t PosixComm::WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                                std::uint32_t milliseconds) {
  std::vector<Waiter> waiters(count);
  for (std::uint32_t i = 0; i < count; ++i) waiters[i].handle = handles[i];
  const std::int64_t deadline = MonotonicMilliseconds() + milliseconds;
  for (bool polled = false;; polled = true) {
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!Progress(waiters[i])) continue;
      // A wait consumes the signal of an auto-reset event.
      const auto event = events_.find(handles[i]);
      if (event != events_.end() && !event->second.manual_reset) event->second.signalled = false;
      return kWaitObject0 + i;
    }
    const std::int64_t left = std::max<std::int64_t>(0, deadline - MonotonicMilliseconds());
    if (polled && left == 0 && milliseconds != kInfinite) return kWaitTimeout;
    PollOnce(&waiters, milliseconds == kInfinite
                           ? -1
                           : static_cast<int>(std::min<std::int64_t>(left, INT_MAX)));
  }
}

bool PosixComm::Progress(const Waiter& waiter) {
  const CommHandle handle = waiter.handle;
  if (const auto event = events_.find(handle); event != events_.end()) {
    int fd = -1;
    PortState* port = PortOfEvent(handle, &fd);
    if (port != nullptr && Pending(port->comm_wait) && port->comm_wait->record->hEvent == handle) {
      const std::uint32_t now = EventsNow(fd, *port);
      if (now != 0) EndCommWait(port, now);
    }
    if (port != nullptr && Signals(port->read, handle)) Advance(fd, &*port->read);
    if (port != nullptr && Signals(port->write, handle)) Advance(fd, &*port->write);
    return event->second.signalled;
  }
  const auto port = handle <= INT_MAX ? ports_.find(static_cast<int>(handle)) : ports_.end();
  if (port == ports_.end()) return waiter.readable;
  if (Pending(port->second.read)) Advance(port->first, &*port->second.read);
  if (Pending(port->second.write)) Advance(port->first, &*port->second.write);
  return !Pending(port->second.read) && !Pending(port->second.write);
}

PosixComm::PollPlan PosixComm::PlanFor(CommHandle handle) {
  PollPlan plan;
  PortState* port = nullptr;
  if (events_.count(handle) != 0) {
    port = PortOfEvent(handle, &plan.fd);
    if (port == nullptr) return plan;
    const bool comm_wait = Pending(port->comm_wait) && port->comm_wait->record->hEvent == handle;
    if (comm_wait && (port->mask & kEvRxChar) != 0) plan.events |= POLLIN;
    plan.stepped = comm_wait && (port->mask & kEvTxEmpty) != 0;
    if (Signals(port->read, handle)) plan.events |= POLLIN;
    if (Signals(port->write, handle)) plan.events |= POLLOUT;
    return plan;
  }
  plan.fd = static_cast<int>(handle);
  const auto found = handle <= INT_MAX ? ports_.find(plan.fd) : ports_.end();
  if (found == ports_.end()) {
    plan.events = POLLIN;
    return plan;
  }
  if (Pending(found->second.read)) plan.events |= POLLIN;
  if (Pending(found->second.write)) plan.events |= POLLOUT;
  return plan;
}

void PosixComm::PollOnce(std::vector<Waiter>* waiters, int timeout_ms) {
  std::vector<pollfd> fds;
  std::vector<Waiter*> owners;
  for (Waiter& waiter : *waiters) {
    if (waiter.quiet) continue;
    const PollPlan plan = PlanFor(waiter.handle);
    if (plan.stepped)
      timeout_ms = timeout_ms < 0 ? kTxEmptyStepMs : std::min(timeout_ms, kTxEmptyStepMs);
    if (plan.fd < 0 || plan.events == 0) continue;
    fds.push_back(pollfd{plan.fd, plan.events, 0});
    owners.push_back(&waiter);
  }
  // An interrupted poll just ends this round; the caller looks again.
  if (poll(fds.data(), fds.size(), timeout_ms) <= 0) return;
  for (std::size_t i = 0; i < fds.size(); ++i) {
    const short seen = fds[i].revents;
    owners[i]->readable = (seen & (POLLIN | POLLHUP)) != 0;
    if ((seen & POLLHUP) != 0) {
      const auto port = ports_.find(fds[i].fd);
      if (port != ports_.end()) HangUp(&port->second);
    }
    // A hung-up or invalid descriptor stays ready for ever: polling it again would spin.
    if ((seen & (POLLHUP | POLLERR | POLLNVAL)) != 0) owners[i]->quiet = true;
  }
}

PortState* PosixComm::PortOfEvent(CommHandle event, int* fd) {
  for (auto& [port_fd, port] : ports_) {
    const bool comm_wait = Pending(port.comm_wait) && port.comm_wait->record->hEvent == event;
    if (comm_wait || Signals(port.read, event) || Signals(port.write, event)) {
      *fd = port_fd;
      return &port;
    }
  }
  return nullptr;
}

void PosixComm::Signal(CommHandle event) {
  const auto found = events_.find(event);
  if (found != events_.end()) found->second.signalled = true;
}

}  // namespace comterm
