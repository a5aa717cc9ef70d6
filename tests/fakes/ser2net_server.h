// A real ser2net on 127.0.0.1 serving one pseudo-terminal, for the network port tests.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace comterm::testing {

/// The installed ser2net, or empty when there is none (the tests then skip).
std::string Ser2netPath();

/// One ser2net process with one connection: its accepter on a free port of 127.0.0.1,
/// its serial side the pty at `device`. The test's preload aid answers ser2net's
/// modem-line requests, which a pty cannot.
class Ser2netServer {
 public:
  /// `telnet`: the accepter speaks telnet with the COM-PORT-OPTION, else raw TCP.
  Ser2netServer(const std::string& device, bool telnet);
  ~Ser2netServer();
  Ser2netServer(const Ser2netServer&) = delete;
  Ser2netServer& operator=(const Ser2netServer&) = delete;

  /// Starts ser2net (again, on the same port) and waits until it accepts connections.
  void Start();
  /// Ends ser2net; its connections close.
  void Stop();

  std::uint16_t port() const { return port_; }
  /// The device name that reaches the pty through this server.
  std::string DeviceName() const;

 private:
  bool telnet_;
  std::uint16_t port_ = 0;
  std::string config_path_;
  std::string pid_path_;
  pid_t pid_ = -1;
};

}  // namespace comterm::testing
