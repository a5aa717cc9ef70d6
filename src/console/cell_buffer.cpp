#include "console/cell_buffer.h"

#include <algorithm>

namespace comterm {
namespace {

bool Inside(const SmallRect& rect, int x, int y) {
  return x >= rect.Left && x <= rect.Right && y >= rect.Top && y <= rect.Bottom;
}

}  // namespace

CellBuffer::CellBuffer(Coord size, std::uint16_t attribute)
    : size_(size),
      cells_(static_cast<std::size_t>(std::max(0, size.X * size.Y)), CharInfo{' ', attribute}) {}

bool CellBuffer::Contains(Coord at) const {
  return at.X >= 0 && at.Y >= 0 && at.X < size_.X && at.Y < size_.Y;
}

std::size_t CellBuffer::Index(int x, int y) const {
  return static_cast<std::size_t>(y * size_.X + x);
}

const CharInfo& CellBuffer::At(Coord at) const {
  return cells_[Index(at.X, at.Y)];
}

CharInfo& CellBuffer::At(Coord at) {
  return cells_[Index(at.X, at.Y)];
}

std::uint32_t CellBuffer::WriteCharacters(const char* characters, std::uint32_t length, Coord at) {
  if (!Contains(at)) return 0;
  std::size_t first = Index(at.X, at.Y);
  std::size_t count = std::min<std::size_t>(length, cells_.size() - first);
  for (std::size_t i = 0; i < count; ++i) cells_[first + i].AsciiChar = characters[i];
  return static_cast<std::uint32_t>(count);
}

std::uint32_t CellBuffer::WriteAttributes(const std::uint16_t* attributes, std::uint32_t length,
                                          Coord at) {
  if (!Contains(at)) return 0;
  std::size_t first = Index(at.X, at.Y);
  std::size_t count = std::min<std::size_t>(length, cells_.size() - first);
  for (std::size_t i = 0; i < count; ++i) cells_[first + i].Attributes = attributes[i];
  return static_cast<std::uint32_t>(count);
}

bool CellBuffer::Scroll(const SmallRect& scroll, const SmallRect* clip, Coord destination,
                        const CharInfo& fill) {
  // The source is the scroll rectangle cut to the buffer; the destination moves with
  // any part cut off at the left or top.
  SmallRect source{std::max<std::int16_t>(scroll.Left, 0), std::max<std::int16_t>(scroll.Top, 0),
                   std::min<std::int16_t>(scroll.Right, size_.X - 1),
                   std::min<std::int16_t>(scroll.Bottom, size_.Y - 1)};
  if (source.Left > source.Right || source.Top > source.Bottom) return false;
  int dx = destination.X - scroll.Left;
  int dy = destination.Y - scroll.Top;
  SmallRect limit{0, 0, static_cast<std::int16_t>(size_.X - 1),
                  static_cast<std::int16_t>(size_.Y - 1)};
  if (clip != nullptr) {
    limit = {std::max(limit.Left, clip->Left), std::max(limit.Top, clip->Top),
             std::min(limit.Right, clip->Right), std::min(limit.Bottom, clip->Bottom)};
  }
  const std::vector<CharInfo> before = cells_;
  SmallRect moved{
      static_cast<std::int16_t>(source.Left + dx), static_cast<std::int16_t>(source.Top + dy),
      static_cast<std::int16_t>(source.Right + dx), static_cast<std::int16_t>(source.Bottom + dy)};
  for (int y = source.Top; y <= source.Bottom; ++y) {
    for (int x = source.Left; x <= source.Right; ++x) {
      if (!Inside(moved, x, y) && Inside(limit, x, y)) cells_[Index(x, y)] = fill;
    }
  }
  for (int y = moved.Top; y <= moved.Bottom; ++y) {
    for (int x = moved.Left; x <= moved.Right; ++x) {
      if (Inside(limit, x, y)) cells_[Index(x, y)] = before[Index(x - dx, y - dy)];
    }
  }
  return true;
}

void CellBuffer::ScrollWholeBufferUp(const CharInfo& fill) {
  if (cells_.empty()) return;
  const std::ptrdiff_t width = size_.X;
  std::copy(cells_.begin() + width, cells_.end(), cells_.begin());
  std::fill(cells_.end() - width, cells_.end(), fill);
}

}  // namespace comterm
