// The console output calls, as an interface. The screen writer reaches the console only
// through this seam; each backend gives every call the meaning described here.
#pragma once

#include <cstdint>
#include <memory>

namespace comterm {

using ConsoleHandle = std::uintptr_t;
inline constexpr std::int32_t kStdInputHandle = -10;
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

struct ConsoleScreenBufferInfo {
  Coord dwSize;
  Coord dwCursorPosition;
  std::uint16_t wAttributes = 0;
  SmallRect srWindow;
  Coord dwMaximumWindowSize;
};

struct CharInfo {
  char AsciiChar = 0;
  std::uint16_t Attributes = 0;
};

/// The console output calls. Each has the meaning of the Windows call of the same name.
class ConsoleOutputApi {
 public:
  virtual ~ConsoleOutputApi() = default;

  virtual ConsoleHandle GetStdHandle(std::int32_t which) = 0;
  virtual bool GetConsoleScreenBufferInfo(ConsoleHandle handle, ConsoleScreenBufferInfo* info) = 0;
  virtual bool SetConsoleCursorPosition(ConsoleHandle handle, Coord position) = 0;
  virtual bool WriteConsoleOutputCharacterA(ConsoleHandle handle, const char* characters,
                                            std::uint32_t length, Coord at,
                                            std::uint32_t* written) = 0;
  virtual bool WriteConsoleOutputAttribute(ConsoleHandle handle, const std::uint16_t* attributes,
                                           std::uint32_t length, Coord at,
                                           std::uint32_t* written) = 0;
  virtual bool ScrollConsoleScreenBufferA(ConsoleHandle handle, const SmallRect& scroll,
                                          const SmallRect* clip, Coord destination,
                                          const CharInfo& fill) = 0;
  virtual std::uint32_t GetConsoleOutputCP() = 0;
  virtual bool SetConsoleOutputCP(std::uint32_t code_page) = 0;
  virtual std::uint32_t GetACP() = 0;
  virtual void SetActiveWindow() = 0;

  /// True when the handle is a console (a terminal), false for a file or a pipe.
  virtual bool IsConsole(ConsoleHandle handle) = 0;
  /// Writes bytes as they are, for standard output that is not a console.
  virtual bool WriteFile(ConsoleHandle handle, const char* bytes, std::uint32_t length) = 0;
};

/// The console output backend of this platform.
std::unique_ptr<ConsoleOutputApi> CreatePlatformConsoleOutput();

}  // namespace comterm
