// The line reader: keys typed on the console edited into one line of StandardInput.
#include "console/console_read.h"

#include <algorithm>
#include <cstdint>

#include "console/keyboard.h"
#include "console/screen_writer.h"

namespace comterm {

namespace {

// The last two bytes of the buffer are kept for the CR LF that ends the line.
constexpr std::size_t kLineCapacity = TextStream::kBufferSize - 2;

void EchoRubOut() {
  ConsoleWriteChar(8);
  ConsoleWriteChar(' ');
  ConsoleWriteChar(8);
}

void MoveBack(TextStream& line, std::size_t steps) {
  for (; steps > 0 && line.Position > 0; --steps) {
    --line.Position;
    ConsoleWriteChar(8);
  }
}

void MoveForward(TextStream& line, std::size_t steps) {
  for (; steps > 0 && line.Position < line.Count; --steps) {
    ConsoleWriteChar(static_cast<std::uint8_t>(line.Buffer[line.Position++]));
  }
}

void EraseLast(TextStream& line) {
  if (line.Position == 0 || line.Position != line.Count) return;
  EchoRubOut();
  --line.Position;
  --line.Count;
}

void EraseAll(TextStream& line) {
  MoveForward(line, line.Count);
  for (; line.Count > 0; --line.Count) EchoRubOut();
  line.Position = 0;
}

void Store(TextStream& line, std::uint8_t key) {
  if (line.Position >= kLineCapacity) return;
  line.Buffer[line.Position++] = static_cast<char>(key);
  ConsoleWriteChar(key);
  line.Count = std::max(line.Count, line.Position);
}

void FinishLine(TextStream& line) {
  ConsoleWriteChar(13);
  ConsoleWriteChar(10);
  line.Buffer[line.Count++] = 13;
  line.Buffer[line.Count++] = 10;
}

// One extended key; true when it ends the line.
bool ExtendedKey(TextStream& line, std::uint8_t code) {
  switch (code) {
    case 28:
      FinishLine(line);
      return true;
    case 75:
      MoveBack(line, 1);
      break;
    case 71:
      MoveBack(line, line.Position);
      break;
    case 77:
      MoveForward(line, 1);
      break;
    case 79:
      MoveForward(line, line.Count);
      break;
    case 53:
      Store(line, '/');
      break;
    default:
      break;
  }
  return false;
}

// One key code; true when it ends the line.
bool PlainKey(TextStream& line, std::uint8_t key) {
  switch (key) {
    case 13:
      FinishLine(line);
      return true;
    case 8:
    case 19:
      EraseLast(line);
      break;
    case 27:
    case 25:
      EraseAll(line);
      break;
    case 26:
      break;
    default:
      Store(line, key);
      break;
  }
  return false;
}

// Places the console's cursor and shows the echo so far: a key is awaited next.
void ShowCursorPlace() {
  PlaceCursor();
  Console.Api->FlushOutput(Console.Api->GetStdHandle(kStdOutputHandle));
}

}  // namespace

void ConsoleRead(TextStream& stream) {
  const std::uint32_t saved_code_page = SwitchToAnsiCodePage();
  FetchCursor();
  stream.Position = 0;
  stream.Count = 0;
  for (;;) {
    ShowCursorPlace();
    const std::uint8_t key = GetKey();
    const bool done = key == 0 ? ExtendedKey(stream, GetKey()) : PlainKey(stream, key);
    if (done) break;
  }
  RestoreOutputCodePage(saved_code_page);
  stream.Position = 0;
  ShowCursorPlace();
}

}  // namespace comterm
