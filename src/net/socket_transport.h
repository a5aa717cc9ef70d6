// One TCP connection, over the platform's sockets. Error codes are the platform's own
// (errno values on POSIX, Winsock codes on Windows).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "serial/comm_api.h"

namespace comterm {

/// Why a connection could not be made.
struct ConnectFailure {
  std::uint32_t code = 0;
  bool resolver = false;  ///< the host name did not resolve; `text` says why
  std::string text;       ///< the resolver's text for a resolver failure
};

/// A connected, non-blocking TCP socket.
class SocketTransport {
 public:
  /// Connects to `host` and `port`, trying each address the host resolves to until
  /// `timeout_ms` has passed. Null on failure, with `failure` filled in.
  static std::unique_ptr<SocketTransport> Connect(const std::string& host, std::uint16_t port,
                                                  std::uint32_t timeout_ms,
                                                  ConnectFailure* failure);
  ~SocketTransport();
  SocketTransport(const SocketTransport&) = delete;
  SocketTransport& operator=(const SocketTransport&) = delete;

  /// Takes what has arrived, without waiting: the byte count, 0 when nothing is waiting,
  /// or -1 with `error` set when the connection has ended (a close by the peer gives
  /// ConnectionLostCode).
  std::int64_t Receive(char* buffer, std::size_t size, std::uint32_t* error);
  /// Sends every byte, waiting for room for at most `timeout_ms`; false with `error` set.
  bool Send(std::string_view bytes, std::uint32_t timeout_ms, std::uint32_t* error);
  /// A handle that a CommApi wait of the platform driver sees signalled when bytes have
  /// arrived or the connection ended.
  CommHandle WaitHandle() const { return wait_handle_; }

  /// The code a connection closed by the peer reports.
  static std::uint32_t ConnectionLostCode();
  /// True when `code` means the connection is gone.
  static bool IsConnectionLost(std::uint32_t code);

 private:
  SocketTransport(std::uintptr_t socket, CommHandle wait_handle)
      : socket_(socket), wait_handle_(wait_handle) {}

  std::uintptr_t socket_;
  CommHandle wait_handle_;
};

}  // namespace comterm
