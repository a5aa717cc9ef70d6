// The VT console after the terminal's window changed: a terminal reflows and clips by
// itself, so the screen record follows the terminal instead of keeping the old size.
#include "console/console_output_posix.h"

#include <algorithm>

#include "console/terminal_mode_posix.h"
#include "console/terminal_signals_posix.h"

namespace comterm {
namespace {

constexpr std::uint16_t kDefaultAttribute = 7;

Coord Clamped(Coord at, Coord size) {
  return {std::min<std::int16_t>(at.X, static_cast<std::int16_t>(size.X - 1)),
          std::min<std::int16_t>(at.Y, static_cast<std::int16_t>(size.Y - 1))};
}

}  // namespace

bool VtConsoleOutput::WindowChanged() {
  if (!posix::TakeWindowChange()) return false;
  // After a stop the answer must not wait for Enter or be echoed.
  posix::ResumeRawMode();
  // What was drawn for the old window goes out first; the answer then covers it.
  Flush();
  const Coord size = TerminalWindowSize(fd_).value_or(cells_.Size());
  std::optional<Coord> cursor;
  if (answer_fd_ >= 0) cursor = AskCursor(answer_fd_, fd_, kCursorAnswerTimeout);
  TakeWindow(size, cursor);
  return true;
}

// The terminal's cursor is known only from an answer; otherwise the next cell is
// addressed in full.
void VtConsoleOutput::TakeWindow(Coord size, std::optional<Coord> cursor) {
  cells_ = CellBuffer(size, kDefaultAttribute);
  if (cursor && cells_.Contains(*cursor)) {
    cursor_ = *cursor;
    terminal_cursor_ = *cursor;
    return;
  }
  cursor_ = Clamped(cursor_, size);
  terminal_cursor_ = {-1, -1};
}

}  // namespace comterm
