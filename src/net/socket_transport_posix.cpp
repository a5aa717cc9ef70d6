#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "net/socket_transport.h"
#include "serial/comm_posix.h"
#include "serial/eintr_retry_posix.h"

namespace comterm {
namespace {

// Waits until `fd` has one of `events`, for at most `timeout_ms`: false on a time-out.
bool PollFor(int fd, short events, std::int64_t timeout_ms) {
  const std::int64_t deadline = MonotonicMilliseconds() + timeout_ms;
  for (;;) {
    pollfd entry{fd, events, 0};
    const std::int64_t left = deadline - MonotonicMilliseconds();
    if (left <= 0) return false;
    const int ready = poll(&entry, 1, static_cast<int>(left));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // the next call reports the error
  }
}

// One connection attempt to one address; the descriptor, or -1 with `error` set.
int ConnectOne(const addrinfo& address, std::int64_t deadline, std::uint32_t* error) {
  const int fd = socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                        address.ai_protocol);
  if (fd < 0) {
    *error = static_cast<std::uint32_t>(errno);
    return -1;
  }
  int status = 0;
  if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) status = errno;
  if (status == EINPROGRESS) {
    if (PollFor(fd, POLLOUT, deadline - MonotonicMilliseconds())) {
      socklen_t size = sizeof status;
      if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &size) != 0) status = errno;
    } else {
      status = ETIMEDOUT;
    }
  }
  if (status != 0) {
    close(fd);
    *error = static_cast<std::uint32_t>(status);
    return -1;
  }
  // Typed keys go out one by one; none should wait for the next.
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace

std::unique_ptr<SocketTransport> SocketTransport::Connect(const std::string& host,
                                                          std::uint16_t port,
                                                          std::uint32_t timeout_ms,
                                                          ConnectFailure* failure) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) {
    failure->code = static_cast<std::uint32_t>(resolved);
    failure->resolver = true;
    failure->text = gai_strerror(resolved);
    return nullptr;
  }
  const std::int64_t deadline = MonotonicMilliseconds() + timeout_ms;
  failure->code = ETIMEDOUT;
  int fd = -1;
  for (const addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    if (MonotonicMilliseconds() >= deadline) break;
    fd = ConnectOne(*at, deadline, &failure->code);
  }
  freeaddrinfo(found);
  if (fd < 0) return nullptr;
  const auto handle = static_cast<std::uintptr_t>(fd);
  return std::unique_ptr<SocketTransport>(new SocketTransport(handle, handle));
}

SocketTransport::~SocketTransport() {
  close(static_cast<int>(socket_));
}

std::int64_t SocketTransport::Receive(char* buffer, std::size_t size, std::uint32_t* error) {
  const int fd = static_cast<int>(socket_);
  const ssize_t got = RetryAfterSignal([&] { return recv(fd, buffer, size, MSG_DONTWAIT); });
  if (got > 0) return got;
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
  *error = got == 0 ? ConnectionLostCode() : static_cast<std::uint32_t>(errno);
  return -1;
}

bool SocketTransport::Send(std::string_view bytes, std::uint32_t timeout_ms, std::uint32_t* error) {
  const int fd = static_cast<int>(socket_);
  const std::int64_t deadline = MonotonicMilliseconds() + timeout_ms;
  while (!bytes.empty()) {
    // MSG_NOSIGNAL: a closed connection is an error code here, never a SIGPIPE.
    const ssize_t sent = RetryAfterSignal(
        [&] { return send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL); });
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      *error = static_cast<std::uint32_t>(errno);
      return false;
    }
    if (!PollFor(fd, POLLOUT, deadline - MonotonicMilliseconds())) {
      *error = ETIMEDOUT;
      return false;
    }
  }
  return true;
}

std::uint32_t SocketTransport::ConnectionLostCode() {
  return ECONNRESET;
}

bool SocketTransport::IsConnectionLost(std::uint32_t code) {
  switch (code) {
    case ECONNRESET:
    case EPIPE:
    case ECONNABORTED:
    case ENOTCONN:
    case ENETRESET:
    case ESHUTDOWN:
      return true;
    default:
      return false;
  }
}

}  // namespace comterm
