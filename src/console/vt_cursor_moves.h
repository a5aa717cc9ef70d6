// The bytes that move a VT terminal's cursor from one cell to another: the terminal's own
// control bytes where they do it, cursor addressing only where they cannot.
#pragma once

#include <string>

#include "console/console_api.h"

namespace comterm {

/// What the terminal's output processing does to the two control bytes moves rely on.
struct VtLineMode {
  /// A carriage return reaches the terminal as itself (not turned into a line feed).
  bool carriage_return = true;
  /// A line feed keeps the column (no carriage return added to it).
  bool line_feed_keeps_column = true;
};

/// Appends to `out` the shortest bytes that bring the cursor from `from` to `to`, which
/// lies on a screen `width` columns wide, below the bottom row of neither. `from.X < 0`
/// means the cursor is unknown; `from.X == width` that a glyph was just drawn in the last
/// column and the terminal waits to wrap, where only a carriage return or addressing
/// moves it predictably.
void AppendCursorMove(std::string& out, Coord from, Coord to, int width, VtLineMode mode);

}  // namespace comterm
