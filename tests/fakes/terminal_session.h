// Runs a command in a real terminal (a private tmux server) for end-to-end tests: type
// keys into it, read its screen, learn its exit status and the terminal modes around it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace comterm::testing {

/// A terminal window of a fixed size running one shell command. The tmux server has a
/// socket of its own and is killed when the session ends.
class TerminalSession {
 public:
  /// Starts `command` (a `sh -c` text) in a terminal of `columns` x `rows` cells.
  explicit TerminalSession(const std::string& command, int columns = 80, int rows = 24);
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  /// The visible screen, one string per row, trailing blanks removed.
  std::vector<std::string> Screen() const;
  /// The visible screen as one text, rows joined by LF.
  std::string ScreenText() const;
  /// The terminal's cursor, 0-based: {column, row}.
  std::pair<int, int> Cursor() const;

  /// Types `text` literally, byte for byte.
  void Type(const std::string& text) const;
  /// Presses one named key as tmux knows it ("Escape", "Enter", "F1", "Up", "C-c").
  void PressKey(const std::string& key) const;

  /// Resizes the terminal window; the program in it gets SIGWINCH.
  void Resize(int columns, int rows) const;

  /// Waits until `text` appears on the screen; false when `timeout` passed first.
  bool WaitForText(const std::string& text, std::chrono::milliseconds timeout) const;
  /// Waits until the command has ended; its exit status, or nothing after `timeout`.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) const;

  /// `stty -g` of the terminal just before the command started.
  std::string ModesBefore() const;
  /// `stty -g` of the terminal just after the command ended (valid after WaitForExit).
  std::string ModesAfter() const;

 private:
  std::string Tmux(std::vector<std::string> arguments) const;

  std::string socket_;
  std::string directory_;
};

/// Runs a program with `arguments` and returns what it wrote to standard output.
std::string RunAndCapture(const std::vector<std::string>& arguments);

}  // namespace comterm::testing
