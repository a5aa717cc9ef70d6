// An in-memory console output for tests: a screen buffer of cells with a visible window
// and a cursor, every call given the Windows console's meaning, and a record of calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/cell_buffer.h"
#include "console/console_api.h"

namespace comterm::testing {

/// Console output over a CellBuffer. As a non-console (a file or a pipe) every console
/// call fails without effect and WriteFile collects the bytes.
class FakeConsoleOutput : public ConsoleOutputApi {
 public:
  /// The handle GetStdHandle returns for standard output.
  static constexpr ConsoleHandle kOutputHandle = 0x5678;

  /// A buffer of `buffer` cells, all spaces in `attribute`, showing `window`.
  FakeConsoleOutput(Coord buffer, SmallRect window, std::uint16_t attribute = 7);

  /// Makes standard output a file or pipe instead of a console.
  void MakeNonConsole() { console_ = false; }

  /// The cells of the buffer.
  CellBuffer& screen() { return screen_; }
  /// Characters of buffer row `y`, columns `from` to `to` inclusive.
  std::string Row(int y, int from, int to) const;
  /// The console's cursor.
  Coord cursor() const { return cursor_; }
  void set_cursor(Coord at) { cursor_ = at; }
  /// The console output code page.
  std::uint32_t output_code_page() const { return output_code_page_; }
  /// The bytes written with WriteFile.
  const std::string& file_bytes() const { return file_bytes_; }
  /// The calls made, in order, each as its name with its main argument where it matters
  /// ("SetConsoleOutputCP 1252", "WriteFile 5"); cell writes are counted, not listed.
  const std::vector<std::string>& calls() const { return calls_; }
  /// Number of character cells written.
  int cells_written() const { return cells_written_; }
  /// Number of WriteConsoleOutputCharacterA calls.
  int character_calls() const { return character_calls_; }

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
  std::uint32_t GetConsoleOutputCP() override;
  bool SetConsoleOutputCP(std::uint32_t code_page) override;
  std::uint32_t GetACP() override;
  void SetActiveWindow() override;
  bool IsConsole(ConsoleHandle handle) override;
  bool WriteFile(ConsoleHandle handle, const char* bytes, std::uint32_t length) override;

 private:
  bool IsOurConsole(ConsoleHandle handle) const { return console_ && handle == kOutputHandle; }

  CellBuffer screen_;
  SmallRect window_;
  Coord cursor_;
  std::uint16_t attribute_;
  std::uint32_t output_code_page_ = 437;
  bool console_ = true;
  std::string file_bytes_;
  std::vector<std::string> calls_;
  int cells_written_ = 0;
  int character_calls_ = 0;
};

}  // namespace comterm::testing
