// The console writer: places text cell by cell inside the output window taken at
// start-up (or again after a resize), with its own cursor, four control bytes, wrapping
// and scrolling. When standard output is not a console it writes the bytes unchanged.
#pragma once

#include <cstdint>

#include "console/console_api.h"
#include "console/screen_output.h"

namespace comterm {

/// A rectangle in 1-based buffer coordinates, all edges inclusive.
struct WindowRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

/// The console state; one instance for the process, set up by InitConsole.
struct ConsoleState {
  /// The rectangle output is written and scrolled in, taken at start-up; on a terminal
  /// that reports a resize, taken again at the next write.
  WindowRect OutputWindow;
  /// The attribute of every cell written and of the row scrolling uncovers.
  std::uint8_t TextAttribute = 0;
  /// The writer's cursor column, 1-based; meaningful during one write only.
  std::int32_t CursorColumn = 0;
  /// The writer's cursor row, 1-based; meaningful during one write only.
  std::int32_t CursorRow = 0;
  /// Standard output is a file or a pipe: writes go out as plain bytes.
  bool PlainOutput = false;
  /// The console output calls in use.
  ConsoleOutputApi* Api = nullptr;
};

/// The process's console state.
extern ConsoleState Console;

/// Shows the bytes of `stream`'s buffer and empties it: the hook of ScreenOutput.
void ConsoleWrite(TextStream& stream);
/// The end of a write statement: ConsoleWrite, then whatever the console backend still
/// holds goes to the screen.
void ConsoleWriteStatement(TextStream& stream);
/// Writes one byte at the cursor with control handling, wrapping and scrolling. The
/// caller switches the code page and fetches and places the cursor.
void ConsoleWriteChar(std::uint8_t byte);
/// Scrolls the content of OutputWindow up by one row; the bottom row becomes blank.
void ScrollOutputWindow();
/// Loads CursorColumn and CursorRow from the console's cursor.
void FetchCursor();
/// Moves the console's cursor to CursorColumn, CursorRow.
void PlaceCursor();

/// Switches the console output to the system's ANSI code page; returns the code page
/// that was in force, for RestoreOutputCodePage.
std::uint32_t SwitchToAnsiCodePage();
/// Puts back the console output code page `saved`.
void RestoreOutputCodePage(std::uint32_t saved);

}  // namespace comterm
