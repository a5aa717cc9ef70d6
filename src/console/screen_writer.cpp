#include "console/screen_writer.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "console/console_init.h"

namespace comterm {

ConsoleState Console;

namespace {

ConsoleHandle OutputHandle() {
  return Console.Api->GetStdHandle(kStdOutputHandle);
}

bool IsControlByte(std::uint8_t byte) {
  return byte == 7 || byte == 8 || byte == 10 || byte == 13;
}

void ApplyControlByte(std::uint8_t byte) {
  switch (byte) {
    case 8:
      if (Console.CursorColumn > Console.OutputWindow.Left) --Console.CursorColumn;
      break;
    case 10:
      ++Console.CursorRow;
      break;
    case 13:
      Console.CursorColumn = Console.OutputWindow.Left;
      break;
    default:  // 7: no sound, no cell
      break;
  }
}

// `count` copies of the text attribute, for the attribute call of a run of cells.
const std::uint16_t* RunAttributes(std::size_t count) {
  static std::vector<std::uint16_t> attributes;
  if (attributes.size() < count ||
      (!attributes.empty() && attributes.front() != Console.TextAttribute)) {
    attributes.assign(std::max(count, attributes.size()), Console.TextAttribute);
  }
  return attributes.data();
}

// Ordinary bytes from the cursor on along its row: one character and one attribute call.
void WriteCells(std::string_view characters) {
  const auto length = static_cast<std::uint32_t>(characters.size());
  const Coord at{static_cast<std::int16_t>(Console.CursorColumn - 1),
                 static_cast<std::int16_t>(Console.CursorRow - 1)};
  std::uint32_t written = 0;
  Console.Api->WriteConsoleOutputCharacterA(OutputHandle(), characters.data(), length, at,
                                            &written);
  Console.Api->WriteConsoleOutputAttribute(OutputHandle(), RunAttributes(length), length, at,
                                           &written);
}

// Returns true when the cursor moved to a new row.
bool ApplyWrapRule() {
  if (Console.CursorColumn <= Console.OutputWindow.Right) return false;
  Console.CursorColumn = Console.OutputWindow.Left;
  ++Console.CursorRow;
  return true;
}

void ApplyBottomRule() {
  while (Console.CursorRow > Console.OutputWindow.Bottom) {
    ScrollOutputWindow();
    --Console.CursorRow;
  }
}

// One byte of a write; `bottom_after_any_byte` makes the bottom rule follow every
// ordinary byte (the single-character writer) instead of only a wrap.
void WriteByte(std::uint8_t byte, bool bottom_after_any_byte) {
  if (IsControlByte(byte)) {
    ApplyControlByte(byte);
    ApplyWrapRule();
    ApplyBottomRule();
    return;
  }
  const char character = static_cast<char>(byte);
  WriteCells(std::string_view(&character, 1));
  ++Console.CursorColumn;
  const bool wrapped = ApplyWrapRule();
  if (wrapped || bottom_after_any_byte) ApplyBottomRule();
}

// The length of the run of ordinary bytes at the front of `bytes` that stays on the
// cursor's row; a cursor right of the window writes one cell before it wraps.
std::size_t RowRunLength(std::string_view bytes) {
  const std::int32_t room = Console.OutputWindow.Right - Console.CursorColumn + 1;
  const std::size_t limit = std::min<std::size_t>(bytes.size(), room > 1 ? room : 1);
  std::size_t length = 0;
  while (length < limit && !IsControlByte(static_cast<std::uint8_t>(bytes[length]))) ++length;
  return length;
}

// The bytes of a write, each with the effect WriteByte gives it, ordinary bytes on a row
// written as one run.
void WriteBytes(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t run = RowRunLength(bytes);
    if (run == 0) {
      WriteByte(static_cast<std::uint8_t>(bytes.front()), false);
      bytes.remove_prefix(1);
      continue;
    }
    WriteCells(bytes.substr(0, run));
    Console.CursorColumn += static_cast<std::int32_t>(run);
    if (ApplyWrapRule()) ApplyBottomRule();
    bytes.remove_prefix(run);
  }
}

// Standard output that is not a console takes the statement's bytes as they are.
void WritePlain(TextStream& stream) {
  Console.Api->WriteFile(stream.Handle, stream.Buffer.data(),
                         static_cast<std::uint32_t>(stream.Count));
  stream.Count = 0;
}

}  // namespace

std::uint32_t SwitchToAnsiCodePage() {
  const std::uint32_t saved = Console.Api->GetConsoleOutputCP();
  Console.Api->SetConsoleOutputCP(Console.Api->GetACP());
  return saved;
}

void RestoreOutputCodePage(std::uint32_t saved) {
  Console.Api->SetConsoleOutputCP(saved);
}

void ConsoleWrite(TextStream& stream) {
  if (Console.PlainOutput) return WritePlain(stream);
  const std::uint32_t saved = SwitchToAnsiCodePage();
  FollowWindowChange();
  FetchCursor();
  WriteBytes(std::string_view(stream.Buffer.data(), stream.Count));
  PlaceCursor();
  RestoreOutputCodePage(saved);
  stream.Count = 0;
}

void ConsoleWriteStatement(TextStream& stream) {
  ConsoleWrite(stream);
  Console.Api->FlushOutput(OutputHandle());
}

void ConsoleWriteChar(std::uint8_t byte) {
  WriteByte(byte, true);
}

void ScrollOutputWindow() {
  const WindowRect& w = Console.OutputWindow;
  auto edge = [](std::int32_t value) { return static_cast<std::int16_t>(value - 1); };
  const SmallRect scroll{edge(w.Left), edge(w.Top + 1), edge(w.Right), edge(w.Bottom)};
  const SmallRect clip{edge(w.Left), edge(w.Top), edge(w.Right), edge(w.Bottom)};
  const Coord destination{edge(w.Left), edge(w.Top)};
  const CharInfo fill{' ', Console.TextAttribute};
  Console.Api->ScrollConsoleScreenBufferA(OutputHandle(), scroll, &clip, destination, fill);
}

void FetchCursor() {
  ConsoleScreenBufferInfo info{};
  Console.Api->GetConsoleScreenBufferInfo(OutputHandle(), &info);
  Console.CursorColumn = info.dwCursorPosition.X + 1;
  Console.CursorRow = info.dwCursorPosition.Y + 1;
}

void PlaceCursor() {
  const Coord at{static_cast<std::int16_t>(Console.CursorColumn - 1),
                 static_cast<std::int16_t>(Console.CursorRow - 1)};
  Console.Api->SetConsoleCursorPosition(OutputHandle(), at);
}

}  // namespace comterm
