// Reads, writes and waits on network ports: what arrives is taken off the socket
// whenever a call looks, and a wait for it sleeps in the platform driver's wait on the
// socket's handle.
#include <algorithm>
#include <vector>

#include "net/net_comm.h"
#include "serial/ticks.h"

namespace comterm {
namespace {

// Received data kept in the port at most; beyond it the bytes wait in the socket, and
// TCP holds the sender back, so nothing is lost however slowly they are read.
constexpr std::size_t kReceiveLimit = 1 << 16;
constexpr std::size_t kReceiveChunk = 4096;
// The longest a write waits for room in the socket's buffer.
constexpr std::uint32_t kSendTimeoutMs = 10000;

bool Pending(const std::optional<NetRead>& read) {
  return read && !read->ended;
}

bool Pending(const std::optional<NetCommWait>& wait) {
  return wait && !wait->ended;
}

std::uint32_t EventsNow(const NetPort& port) {
  std::uint32_t events = port.mask & kEvTxEmpty;
  if (!port.received.empty()) events |= port.mask & kEvRxChar;
  return events;
}

// Hands received data to a pending read and ends a pending wait it satisfies; a
// connection that ended ends both.
void Deliver(NetPort* port) {
  if (Pending(port->read)) {
    NetRead& read = *port->read;
    const std::size_t n = std::min<std::size_t>(port->received.size(), read.length - read.done);
    std::copy_n(port->received.begin(), n, read.data + read.done);
    port->received.erase(0, n);
    read.done += static_cast<std::uint32_t>(n);
    read.ended = read.done > 0 || read.done == read.length;
    if (!read.ended && port->lost != 0) {
      read.ended = true;
      read.error = port->lost;
    }
  }
  if (Pending(port->comm_wait)) {
    const std::uint32_t events = EventsNow(*port);
    if (events != 0 || port->lost != 0) {
      port->comm_wait->ended = true;
      *port->comm_wait->mask = events;
      if (events == 0) port->comm_wait->error = port->lost;
    }
  }
}

}  // namespace

bool NetworkComm::ReadFile(CommHandle handle, void* buffer, std::uint32_t length,
                           std::uint32_t* count, Overlapped* overlapped) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->ReadFile(handle, buffer, length, count, overlapped);
  if (Pending(port->read)) return Fail(codes_.busy);
  Pump(port);
  port->read = NetRead{overlapped, static_cast<char*>(buffer), length};
  Deliver(port);
  if (count != nullptr) *count = port->read->done;
  if (!port->read->ended) return Fail(kErrorIoPending);
  const NetRead read = *port->read;
  port->read.reset();
  return read.error == 0 || Fail(read.error);
}

bool NetworkComm::WriteFile(CommHandle handle, const void* buffer, std::uint32_t length,
                            std::uint32_t* count, Overlapped* overlapped) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->WriteFile(handle, buffer, length, count, overlapped);
  if (count != nullptr) *count = 0;
  if (port->lost != 0) return Fail(port->lost);
  const std::string_view data(static_cast<const char*>(buffer), length);
  if (!Send(port, port->scheme == NetScheme::Raw ? std::string(data) : telnet::EscapeData(data))) {
    return false;
  }
  if (count != nullptr) *count = length;
  return true;
}

bool NetworkComm::GetOverlappedResult(CommHandle handle, Overlapped* overlapped,
                                      std::uint32_t* count, bool wait) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->GetOverlappedResult(handle, overlapped, count, wait);
  if (count != nullptr) *count = 0;
  if (port->comm_wait && port->comm_wait->record == overlapped) {
    if (!port->comm_wait->ended && wait) WaitForSingleObject(overlapped->hEvent, kInfinite);
    if (!port->comm_wait->ended) return Fail(codes_.incomplete);
    const NetCommWait ended = *port->comm_wait;
    port->comm_wait.reset();
    return ended.error == 0 || Fail(ended.error);
  }
  if (!port->read || port->read->record != overlapped) return Fail(codes_.bad_argument);
  if (!port->read->ended && wait) WaitForSingleObject(handle, kInfinite);
  const NetRead read = *port->read;
  if (count != nullptr) *count = read.done;
  if (!read.ended) return Fail(codes_.incomplete);
  port->read.reset();
  return read.error == 0 || Fail(read.error);
}

bool NetworkComm::WaitCommEvent(CommHandle handle, std::uint32_t* mask, Overlapped* overlapped) {
  NetPort* port = Find(handle);
  if (port == nullptr) return platform_->WaitCommEvent(handle, mask, overlapped);
  if (overlapped == nullptr || port->mask == 0 || Pending(port->comm_wait)) {
    return Fail(codes_.bad_argument);
  }
  Pump(port);
  *mask = EventsNow(*port);
  if (*mask != 0) return true;
  if (port->lost != 0) return Fail(port->lost);
  port->comm_wait = NetCommWait{overlapped, mask};
  return Fail(kErrorIoPending);
}

std::uint32_t NetworkComm::WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                                  std::uint32_t milliseconds) {
  const std::uint32_t start = platform_->GetTickCount();
  std::vector<CommHandle> real(count);
  std::vector<NetPort*> watched(count);
  for (;;) {
    for (std::uint32_t i = 0; i < count; ++i) {
      watched[i] = Watched(handles[i]);
      if (watched[i] != nullptr && Signalled(*watched[i], handles[i])) return kWaitObject0 + i;
      real[i] = watched[i] != nullptr ? watched[i]->socket->WaitHandle() : handles[i];
    }
    const std::uint32_t elapsed = TickElapsed(start, platform_->GetTickCount());
    const std::uint32_t left = milliseconds == kInfinite ? kInfinite
                               : elapsed >= milliseconds ? 0
                                                         : milliseconds - elapsed;
    const std::uint32_t result = platform_->WaitForMultipleObjects(count, real.data(), left);
    const std::uint32_t index = result - kWaitObject0;
    if (index >= count || watched[index] == nullptr) return result;
    // Bytes arrived, but perhaps only telnet commands: the wait goes on unless they
    // brought data or ended the connection.
    Pump(watched[index]);
    if (Signalled(*watched[index], handles[index])) return result;
    if (left == 0) return kWaitTimeout;
  }
}

NetPort* NetworkComm::Watched(CommHandle handle) {
  for (auto& [port_handle, port] : ports_) {
    if (port_handle == handle) return &port;
    // A record without an event is waited for on the port handle.
    if (handle == 0) continue;
    const bool waits = port.comm_wait && port.comm_wait->record->hEvent == handle;
    const bool reads = port.read && port.read->record->hEvent == handle;
    if (waits || reads) return &port;
  }
  return nullptr;
}

bool NetworkComm::Signalled(const NetPort& port, CommHandle handle) const {
  if (port.comm_wait && handle != 0 && port.comm_wait->record->hEvent == handle) {
    return port.comm_wait->ended;
  }
  return !Pending(port.read);
}

void NetworkComm::Pump(NetPort* port) {
  char chunk[kReceiveChunk];
  while (port->lost == 0 && port->received.size() < kReceiveLimit) {
    std::uint32_t error = 0;
    const std::int64_t got = port->socket->Receive(chunk, sizeof chunk, &error);
    if (got == 0) break;
    if (got < 0) {
      port->lost = error;
      break;
    }
    const std::string_view wire(chunk, static_cast<std::size_t>(got));
    if (port->scheme == NetScheme::Raw) {
      port->received.append(wire);
      continue;
    }
    const std::string replies = port->session.Receive(wire, &port->received);
    if (!replies.empty()) Send(port, replies);
  }
  Deliver(port);
}

bool NetworkComm::Send(NetPort* port, std::string_view bytes) {
  std::uint32_t error = 0;
  if (port->socket->Send(bytes, kSendTimeoutMs, &error)) return true;
  if (SocketTransport::IsConnectionLost(error)) port->lost = error;
  return Fail(error);
}

}  // namespace comterm
