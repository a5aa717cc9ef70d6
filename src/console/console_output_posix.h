// The console output on a VT terminal: the terminal's visible window is the screen
// buffer, and the backend keeps its own record of every cell and of the terminal's
// cursor, so each call becomes escape sequences without asking the terminal anything.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "console/cell_buffer.h"
#include "console/console_api.h"
#include "console/vt_cursor_moves.h"

namespace comterm {

/// What the terminal is like when the program starts.
struct VtStartState {
  /// Columns and rows of the terminal's window.
  Coord size{80, 24};
  /// The terminal's cursor, 0-based.
  Coord cursor;
  /// Where the terminal's answers are read from when it is asked again (after a resize);
  /// -1 when it did not answer at the start.
  int answer_fd = -1;
};

/// The cursor a terminal reports in a reply "ESC [ row ; column R" (1-based), as a
/// 0-based position; the last complete reply in `reply` counts. Nothing when none.
std::optional<Coord> ParseCursorReport(std::string_view reply);

/// How long a terminal is given to answer the cursor question.
inline constexpr std::chrono::milliseconds kCursorAnswerTimeout{300};

/// The columns and rows of the terminal at `output_fd`; nothing when it tells none.
std::optional<Coord> TerminalWindowSize(int output_fd);

/// `text` with every complete cursor reply taken out: the keys typed around them.
std::string WithoutCursorReports(std::string_view text);

/// Asks the terminal at `output_fd` for its cursor and reads the answer from the terminal
/// `input_fd` (raw while asking) for at most `timeout`. Keys read from standard input
/// meanwhile are kept for the keyboard. Nothing when there is no answer.
std::optional<Coord> AskCursor(int input_fd, int output_fd, std::chrono::milliseconds timeout);

/// Takes the window size of `output_fd` and asks the terminal for its cursor, reading the
/// reply from `input_fd` for at most `timeout`. Without a reply a fresh line is started
/// and the cursor taken to be at the start of the bottom row.
VtStartState QueryTerminal(int input_fd, int output_fd, std::chrono::milliseconds timeout);

/// Console output on the VT terminal at `output_fd`. Everything of one write statement
/// is sent in one `write`, when the cursor is placed. A write that finds the reader of
/// `output_fd` gone raises EInOutError once; nothing is written after it.
class VtConsoleOutput : public ConsoleOutputApi {
 public:
  /// The terminal at `output_fd`, in the state `start`, with default colours.
  VtConsoleOutput(int output_fd, VtStartState start);
  /// Sends what is pending and leaves the terminal's cursor at the start of a line.
  ~VtConsoleOutput() override;
  VtConsoleOutput(const VtConsoleOutput&) = delete;
  VtConsoleOutput& operator=(const VtConsoleOutput&) = delete;

  ConsoleHandle GetStdHandle(std::int32_t which) override;
  bool GetConsoleScreenBufferInfo(ConsoleHandle handle, ConsoleScreenBufferInfo* info) override;
  bool SetConsoleCursorPosition(ConsoleHandle handle, Coord position) override;
  bool WriteConsoleOutputCharacterA(ConsoleHandle handle, const char* characters,
                                    std::uint32_t length, Coord at,
                                    std::uint32_t* written) override;
  bool WriteConsoleOutputAttribute(ConsoleHandle handle, const std::uint16_t* attributes,
                                   std::uint32_t length, Coord at, std::uint32_t* written) override;
  bool ScrollConsoleScreenBufferA(ConsoleHandle handle, const SmallRect& scroll,
                                  const SmallRect* clip, Coord destination,
                                  const CharInfo& fill) override;
  std::uint32_t GetConsoleOutputCP() override { return code_page_; }
  bool SetConsoleOutputCP(std::uint32_t code_page) override;
  std::uint32_t GetACP() override { return 1252; }
  void SetActiveWindow() override {}
  bool IsConsole(ConsoleHandle handle) override;
  bool WriteFile(ConsoleHandle handle, const char* bytes, std::uint32_t length) override;
  void FlushOutput(ConsoleHandle handle) override;
  /// After a resize (or a stop and continue): the terminal's new size becomes the screen,
  /// and its cursor is asked again, or clamped into the new size when it cannot answer.
  bool WindowChanged() override;

 private:
  void TakeWindow(Coord size, std::optional<Coord> cursor);
  bool IsWholeScreenScrollUp(const SmallRect& scroll, const SmallRect* clip, Coord destination,
                             const CharInfo& fill) const;
  void ScrollWholeScreenUp(const CharInfo& fill);
  void RedrawChangedCells(const CellBuffer& before);
  void DrawRun(Coord at, const char* characters, std::uint32_t count);
  void DrawCell(Coord at);
  void MoveTerminalCursor(Coord at);
  void SetPen(std::uint16_t attribute);
  void Flush();
  void Send(const char* bytes, std::size_t length);

  int fd_;
  CellBuffer cells_;
  Coord cursor_;
  // Where the terminal's own cursor is; X < 0 when unknown, X one past the last column
  // while the terminal waits to wrap after a glyph there.
  Coord terminal_cursor_;
  VtLineMode line_mode_;
  int answer_fd_;
  std::uint16_t pen_ = 7;
  std::uint32_t code_page_ = 1252;
  std::string pending_;
  bool reader_gone_ = false;
};

}  // namespace comterm
