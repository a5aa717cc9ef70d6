// Runs the built program as a job-control shell would: on a console pty of its own, as
// the foreground process group of that terminal's session, with a parent that reports
// every stop, continue and end. Stop signals then act as they do for a user.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace comterm::testing {

/// One run of a program on a console pty (80 x 24) that the test holds the master of.
class ConsoleJob {
 public:
  /// Starts `arguments` with the console as standard input, output and error; standard
  /// output goes to `output_fd` instead when it is not -1.
  explicit ConsoleJob(const std::vector<std::string>& arguments, int output_fd = -1);
  ~ConsoleJob();
  ConsoleJob(const ConsoleJob&) = delete;
  ConsoleJob& operator=(const ConsoleJob&) = delete;

  pid_t pid() const { return pid_; }
  /// The console's modes before the program started.
  const termios& ModesBefore() const { return before_; }
  /// The console's modes now (read through the master).
  termios Modes() const;
  /// Waits until the console's modes are raw (no ICANON) or not; false on timeout.
  bool WaitForRawMode(bool raw, std::chrono::milliseconds timeout) const;
  /// Reads what the program wrote to the console until it holds `text`, answering the
  /// cursor question on the way; false on timeout.
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout);
  /// Types bytes on the console.
  void Type(const std::string& bytes) const;
  /// The next wait status the program's parent saw (stopped, continued or ended).
  std::optional<int> NextStatus(std::chrono::milliseconds timeout);

 private:
  int master_ = -1;
  int status_ = -1;
  pid_t pid_ = -1;
  pid_t parent_ = -1;
  termios before_{};
  std::string output_;
};

/// True when the two modes agree in every flag and control character.
bool SameModes(const termios& a, const termios& b);

}  // namespace comterm::testing
