#include "console/vt_cursor_moves.h"

#include <string_view>

namespace comterm {
namespace {

std::string Number(int value) {
  return std::to_string(value);
}

// Cursor position, 1-based, with the defaults left out.
std::string Address(Coord to) {
  if (to.X == 0) return to.Y == 0 ? "\x1b[H" : "\x1b[" + Number(to.Y + 1) + "H";
  return "\x1b[" + Number(to.Y + 1) + ";" + Number(to.X + 1) + "H";
}

// Cursor forward or back by `count` columns on the row, never past its edges.
std::string Along(int count) {
  if (count == 0) return "";
  const char final = count > 0 ? 'C' : 'D';
  const int steps = count > 0 ? count : -count;
  if (count == -1) return "\b";
  return steps == 1 ? std::string("\x1b[") + final : "\x1b[" + Number(steps) + final;
}

void KeepShorter(std::string& best, std::string candidate) {
  if (candidate.size() < best.size()) best = std::move(candidate);
}

}  // namespace

void AppendCursorMove(std::string& out, Coord from, Coord to, int width, VtLineMode mode) {
  std::string best = Address(to);
  const bool known = from.X >= 0 && from.X <= width;
  const bool wrap_pending = from.X == width;
  const std::string_view cr = mode.carriage_return ? "\r" : "";
  if (known && to.Y == from.Y) {
    if (!wrap_pending) KeepShorter(best, Along(to.X - from.X));
    if (!cr.empty()) KeepShorter(best, std::string(cr) + Along(to.X));
  } else if (known && to.Y == from.Y + 1) {
    if (!wrap_pending && mode.line_feed_keeps_column) {
      KeepShorter(best, "\n" + Along(to.X - from.X));
    }
    if (!cr.empty()) KeepShorter(best, std::string(cr) + "\n" + Along(to.X));
  }
  out += best;
}

}  // namespace comterm
