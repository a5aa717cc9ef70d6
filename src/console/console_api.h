// The console output calls, as an interface. The screen writer reaches the console only
// through this seam; each backend gives every call the meaning described here.
#pragma once

#include <cstdint>
#include <memory>

namespace comterm {

/// A console, file or pipe handle as the platform gives it.
using ConsoleHandle = std::uintptr_t;
/// GetStdHandle's argument for standard input.
inline constexpr std::int32_t kStdInputHandle = -10;
/// GetStdHandle's argument for standard output.
inline constexpr std::int32_t kStdOutputHandle = -11;

/// A cell position, 0-based.
struct Coord {
  std::int16_t X = 0;
  std::int16_t Y = 0;
};

/// A rectangle of cells, 0-based, all edges inclusive.
struct SmallRect {
  std::int16_t Left = 0;
  std::int16_t Top = 0;
  std::int16_t Right = 0;
  std::int16_t Bottom = 0;
};

/// The screen buffer's size, cursor, current attribute and visible window, 0-based.
struct ConsoleScreenBufferInfo {
  Coord dwSize;
  Coord dwCursorPosition;
  std::uint16_t wAttributes = 0;
  SmallRect srWindow;
  Coord dwMaximumWindowSize;
};

/// One cell: a character and its colour attribute.
struct CharInfo {
  char AsciiChar = 0;
  std::uint16_t Attributes = 0;
};

/// The console output calls. Each has the meaning of the Windows call of the same name.
class ConsoleOutputApi {
 public:
  virtual ~ConsoleOutputApi() = default;

  /// The handle of standard input or output (kStdInputHandle, kStdOutputHandle).
  virtual ConsoleHandle GetStdHandle(std::int32_t which) = 0;
  /// Fills `info`; leaves it as it was and returns false when `handle` is no console.
  virtual bool GetConsoleScreenBufferInfo(ConsoleHandle handle, ConsoleScreenBufferInfo* info) = 0;
  /// Places the console's visible cursor.
  virtual bool SetConsoleCursorPosition(ConsoleHandle handle, Coord position) = 0;
  /// Stores characters in the cells from `at` on; the cursor does not move.
  virtual bool WriteConsoleOutputCharacterA(ConsoleHandle handle, const char* characters,
                                            std::uint32_t length, Coord at,
                                            std::uint32_t* written) = 0;
  /// Stores attributes in the cells from `at` on; the cursor does not move.
  virtual bool WriteConsoleOutputAttribute(ConsoleHandle handle, const std::uint16_t* attributes,
                                           std::uint32_t length, Coord at,
                                           std::uint32_t* written) = 0;
  /// Moves the content of `scroll` to `destination`; uncovered cells get `fill`, and only
  /// cells inside `clip` (when given) change.
  virtual bool ScrollConsoleScreenBufferA(ConsoleHandle handle, const SmallRect& scroll,
                                          const SmallRect* clip, Coord destination,
                                          const CharInfo& fill) = 0;
  /// The console output code page.
  virtual std::uint32_t GetConsoleOutputCP() = 0;
  /// Sets the console output code page.
  virtual bool SetConsoleOutputCP(std::uint32_t code_page) = 0;
  /// The system's ANSI code page.
  virtual std::uint32_t GetACP() = 0;
  /// Activates no window (user32's SetActiveWindow with 0).
  virtual void SetActiveWindow() = 0;

  /// True when the handle is a console (a terminal), false for a file or a pipe.
  virtual bool IsConsole(ConsoleHandle handle) = 0;
  /// Writes bytes as they are, for standard output that is not a console.
  virtual bool WriteFile(ConsoleHandle handle, const char* bytes, std::uint32_t length) = 0;

  /// The end of a screen statement: what the backend still holds must now reach the
  /// screen. A backend that shows every call at once has nothing to do.
  virtual void FlushOutput(ConsoleHandle /*handle*/) {}
  /// Asked before each write: true once after the visible window changed (a resized
  /// terminal), so the writer takes the window again. A console that keeps its window
  /// whatever the user does answers false.
  virtual bool WindowChanged() { return false; }
};

/// The console output backend of this platform.
std::unique_ptr<ConsoleOutputApi> CreatePlatformConsoleOutput();

}  // namespace comterm
