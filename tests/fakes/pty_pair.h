// A pseudo-terminal pair for integration and end-to-end tests.
#pragma once

#include <chrono>
#include <string>

namespace comterm::testing {

/// Owns both ends of a pseudo-terminal, both in raw mode. The slave end stands for a
/// serial device (its path is what the program opens); the master end is the peer.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int master() const { return master_; }
  int slave() const { return slave_; }
  const std::string& slave_path() const { return slave_path_; }

  /// Closes the slave end held by the test (so that only the program holds it).
  void CloseSlave();
  /// Writes all bytes to the master end.
  void Write(const std::string& bytes);
  /// Reads from the master end until `count` bytes arrived or `timeout` passed.
  std::string Read(std::size_t count, std::chrono::milliseconds timeout);
  /// Reads from the master end until `timeout` passes with no new byte.
  std::string ReadUntilQuiet(std::chrono::milliseconds quiet);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slave_path_;
};

}  // namespace comterm::testing
