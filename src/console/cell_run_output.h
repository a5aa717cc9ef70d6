// Console output that joins cell writes: the screen writer hands the console one cell at
// a time, and a console whose every call is costly (the Windows console) takes a run of
// cells on a row far more cheaply as one character call and one attribute call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "console/console_api.h"

namespace comterm {

/// Passes every call to `target`, except that character and attribute writes of cells
/// that follow each other on one row are held and sent as one call of each kind. What is
/// held goes out before any call that places the cursor, scrolls, changes the code page,
/// reads the screen buffer or writes to a file, and when the object ends. Held writes
/// report every cell written; a failure of the later call is not reported.
class CellRunOutput : public ConsoleOutputApi {
 public:
  /// Joins the cell writes made to `target`.
  explicit CellRunOutput(std::unique_ptr<ConsoleOutputApi> target);
  /// Sends what is held.
  ~CellRunOutput() override;
  CellRunOutput(const CellRunOutput&) = delete;
  CellRunOutput& operator=(const CellRunOutput&) = delete;

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
  void FlushOutput(ConsoleHandle handle) override;

 private:
  /// Makes a write at `at` part of the held run when it follows the `held` cells of its
  /// kind on the run's row; else sends the run and starts a new one at `at`.
  void JoinRun(ConsoleHandle handle, Coord at, std::size_t held);
  /// Sends the held characters and attributes, each as one call.
  void Flush();

  std::unique_ptr<ConsoleOutputApi> target_;
  ConsoleHandle handle_ = 0;
  Coord start_;
  std::string characters_;
  std::vector<std::uint16_t> attributes_;
};

}  // namespace comterm
