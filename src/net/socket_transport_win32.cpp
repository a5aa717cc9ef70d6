#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

#include "net/socket_transport.h"

namespace comterm {
namespace {

// Winsock is started once for the process and left running until it ends.
bool StartWinsock(std::uint32_t* error) {
  static const int started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  *error = static_cast<std::uint32_t>(started);
  return started == 0;
}

// Waits until `socket` can be written to (or failed), for at most `timeout_ms`.
bool SelectWritable(SOCKET socket, DWORD timeout_ms, bool* failed) {
  fd_set writable;
  fd_set failures;
  FD_ZERO(&writable);
  FD_ZERO(&failures);
  FD_SET(socket, &writable);
  FD_SET(socket, &failures);
  timeval limit{static_cast<long>(timeout_ms / 1000), static_cast<long>(timeout_ms % 1000) * 1000};
  const int ready = select(0, nullptr, &writable, &failures, &limit);
  *failed = ready < 0 || FD_ISSET(socket, &failures);
  return ready != 0;
}

DWORD Left(ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// One connection attempt to one address; the socket, or INVALID_SOCKET with `error` set.
SOCKET ConnectOne(const addrinfo& address, ULONGLONG deadline, std::uint32_t* error) {
  const SOCKET s = socket(address.ai_family, address.ai_socktype, address.ai_protocol);
  if (s == INVALID_SOCKET) {
    *error = static_cast<std::uint32_t>(WSAGetLastError());
    return INVALID_SOCKET;
  }
  u_long non_blocking = 1;
  ioctlsocket(s, FIONBIO, &non_blocking);
  int status = 0;
  if (connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
    status = WSAGetLastError();
  }
  if (status == WSAEWOULDBLOCK) {
    bool failed = false;
    status = 0;
    if (!SelectWritable(s, Left(deadline), &failed)) {
      status = WSAETIMEDOUT;
    } else if (failed) {
      int size = sizeof status;
      getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&status), &size);
      if (status == 0) status = WSAECONNREFUSED;
    }
  }
  if (status != 0) {
    closesocket(s);
    *error = static_cast<std::uint32_t>(status);
    return INVALID_SOCKET;
  }
  // Typed keys go out one by one; none should wait for the next.
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return s;
}

}  // namespace

std::unique_ptr<SocketTransport> SocketTransport::Connect(const std::string& host,
                                                          std::uint16_t port,
                                                          std::uint32_t timeout_ms,
                                                          ConnectFailure* failure) {
  if (!StartWinsock(&failure->code)) return nullptr;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) {
    failure->code = static_cast<std::uint32_t>(resolved);
    failure->resolver = true;
    return nullptr;
  }
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  failure->code = WSAETIMEDOUT;
  SOCKET s = INVALID_SOCKET;
  for (const addrinfo* at = found; at != nullptr && s == INVALID_SOCKET; at = at->ai_next) {
    if (GetTickCount64() >= deadline) break;
    s = ConnectOne(*at, deadline, &failure->code);
  }
  freeaddrinfo(found);
  if (s == INVALID_SOCKET) return nullptr;
  // The event is what the relay's wait watches; it also keeps the socket non-blocking.
  const WSAEVENT event = WSACreateEvent();
  if (event == WSA_INVALID_EVENT || WSAEventSelect(s, event, FD_READ | FD_CLOSE) != 0) {
    failure->code = static_cast<std::uint32_t>(WSAGetLastError());
    if (event != WSA_INVALID_EVENT) WSACloseEvent(event);
    closesocket(s);
    return nullptr;
  }
  return std::unique_ptr<SocketTransport>(
      new SocketTransport(static_cast<std::uintptr_t>(s), reinterpret_cast<CommHandle>(event)));
}

SocketTransport::~SocketTransport() {
  closesocket(static_cast<SOCKET>(socket_));
  WSACloseEvent(reinterpret_cast<WSAEVENT>(wait_handle_));
}

std::int64_t SocketTransport::Receive(char* buffer, std::size_t size, std::uint32_t* error) {
  // The event is reset before reading: a byte arriving after this read signals it anew,
  // since every recv lets Winsock report FD_READ again.
  WSAResetEvent(reinterpret_cast<WSAEVENT>(wait_handle_));
  const int got = recv(static_cast<SOCKET>(socket_), buffer, static_cast<int>(size), 0);
  if (got > 0) return got;
  if (got == 0) {
    *error = ConnectionLostCode();
    return -1;
  }
  const int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK) return 0;
  *error = static_cast<std::uint32_t>(code);
  return -1;
}

bool SocketTransport::Send(std::string_view bytes, std::uint32_t timeout_ms, std::uint32_t* error) {
  const SOCKET s = static_cast<SOCKET>(socket_);
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  while (!bytes.empty()) {
    const int sent = send(s, bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    const int code = WSAGetLastError();
    if (code != WSAEWOULDBLOCK) {
      *error = static_cast<std::uint32_t>(code);
      return false;
    }
    bool failed = false;
    if (!SelectWritable(s, Left(deadline), &failed)) {
      *error = WSAETIMEDOUT;
      return false;
    }
  }
  return true;
}

std::uint32_t SocketTransport::ConnectionLostCode() {
  return WSAECONNRESET;
}

bool SocketTransport::IsConnectionLost(std::uint32_t code) {
  switch (code) {
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENOTCONN:
    case WSAENETRESET:
    case WSAESHUTDOWN:
      return true;
    default:
      return false;
  }
}

}  // namespace comterm
