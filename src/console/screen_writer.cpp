#include "console/screen_writer.h"

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

void WriteCell(std::uint8_t byte) {
  const char character = static_cast<char>(byte);
  const std::uint16_t attribute = Console.TextAttribute;
  const Coord at{static_cast<std::int16_t>(Console.CursorColumn - 1),
                 static_cast<std::int16_t>(Console.CursorRow - 1)};
  std::uint32_t written = 0;
  Console.Api->WriteConsoleOutputCharacterA(OutputHandle(), &character, 1, at, &written);
  Console.Api->WriteConsoleOutputAttribute(OutputHandle(), &attribute, 1, at, &written);
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
  WriteCell(byte);
  ++Console.CursorColumn;
  const bool wrapped = ApplyWrapRule();
  if (wrapped || bottom_after_any_byte) ApplyBottomRule();
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
  for (std::size_t i = 0; i < stream.Count; ++i) {
    WriteByte(static_cast<std::uint8_t>(stream.Buffer[i]), false);
  }
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
