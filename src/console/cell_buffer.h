// A screen buffer of character cells held in memory, with the Windows console's rules
// for writing runs of cells and for scrolling a rectangle with clipping and fill.
#pragma once

#include <cstdint>
#include <vector>

#include "console/console_api.h"

namespace comterm {

/// A rectangle of cells (character and attribute), `width` x `height`.
class CellBuffer {
 public:
  /// A buffer of `size` cells, each a space with `attribute`.
  CellBuffer(Coord size, std::uint16_t attribute);

  /// The buffer's size in cells.
  Coord Size() const { return size_; }
  /// True when `at` lies inside the buffer.
  bool Contains(Coord at) const;
  /// The cell at `at`, which must lie inside the buffer.
  const CharInfo& At(Coord at) const;
  CharInfo& At(Coord at);

  /// Stores `length` characters from `at` on, row after row, up to the buffer's end;
  /// attributes are kept. Returns the number stored (0 when `at` is outside).
  std::uint32_t WriteCharacters(const char* characters, std::uint32_t length, Coord at);
  /// Stores `length` attributes from `at` on, as WriteCharacters does.
  std::uint32_t WriteAttributes(const std::uint16_t* attributes, std::uint32_t length, Coord at);

  /// Moves the content of `scroll` so its top-left cell lands on `destination`; cells of
  /// `scroll` left uncovered get `fill`. Only cells inside `clip` (when given) and the
  /// buffer change. False when `scroll` lies wholly outside the buffer.
  bool Scroll(const SmallRect& scroll, const SmallRect* clip, Coord destination,
              const CharInfo& fill);
  /// Moves every row up by one; the bottom row becomes `fill`. The same as Scroll of the
  /// whole buffer to its top, without a copy of the buffer.
  void ScrollWholeBufferUp(const CharInfo& fill);

 private:
  std::size_t Index(int x, int y) const;

  Coord size_;
  std::vector<CharInfo> cells_;
};

}  // namespace comterm
