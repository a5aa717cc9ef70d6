// A TCP listener of the test's own on 127.0.0.1, standing for a network serial server.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace comterm::testing {

/// Listens on a free port of 127.0.0.1 and serves one connection at a time.
class TcpListener {
 public:
  TcpListener();
  ~TcpListener();
  TcpListener(const TcpListener&) = delete;
  TcpListener& operator=(const TcpListener&) = delete;

  std::uint16_t port() const { return port_; }
  /// Waits for a client; false when none came within `timeout`.
  bool Accept(std::chrono::milliseconds timeout);
  /// Writes all bytes to the client.
  void Write(const std::string& bytes);
  /// Reads until `count` bytes arrived, the client closed, or `timeout` passed.
  std::string Read(std::size_t count, std::chrono::milliseconds timeout);
  /// True when the client closed its end within `timeout` (bytes before the end are
  /// dropped).
  bool WaitForClose(std::chrono::milliseconds timeout);
  /// Closes the client's connection and stops listening: connections are then refused.
  void Close();

 private:
  int listener_ = -1;
  int client_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace comterm::testing
