#include "fakes/fake_console_output.h"

namespace comterm::testing {

FakeConsoleOutput::FakeConsoleOutput(Coord buffer, SmallRect window, std::uint16_t attribute)
    : screen_(buffer, attribute), window_(window), attribute_(attribute) {}

std::string FakeConsoleOutput::Row(int y, int from, int to) const {
  std::string row;
  for (int x = from; x <= to; ++x) {
    row += screen_.At({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y)}).AsciiChar;
  }
  return row;
}

ConsoleHandle FakeConsoleOutput::GetStdHandle(std::int32_t which) {
  return which == kStdOutputHandle ? kOutputHandle : 0;
}

bool FakeConsoleOutput::GetConsoleScreenBufferInfo(ConsoleHandle handle,
                                                   ConsoleScreenBufferInfo* info) {
  calls_.push_back("GetConsoleScreenBufferInfo");
  if (!IsOurConsole(handle)) return false;
  info->dwSize = screen_.Size();
  info->dwCursorPosition = cursor_;
  info->wAttributes = attribute_;
  info->srWindow = window_;
  info->dwMaximumWindowSize = screen_.Size();
  return true;
}

bool FakeConsoleOutput::SetConsoleCursorPosition(ConsoleHandle handle, Coord position) {
  calls_.push_back("SetConsoleCursorPosition " + std::to_string(position.X) + "," +
                   std::to_string(position.Y));
  if (!IsOurConsole(handle) || !screen_.Contains(position)) return false;
  cursor_ = position;
  return true;
}

bool FakeConsoleOutput::WriteConsoleOutputCharacterA(ConsoleHandle handle, const char* characters,
                                                     std::uint32_t length, Coord at,
                                                     std::uint32_t* written) {
  *written = 0;
  ++character_calls_;
  if (!IsOurConsole(handle)) return false;
  *written = screen_.WriteCharacters(characters, length, at);
  cells_written_ += static_cast<int>(*written);
  return *written > 0 || length == 0;
}

bool FakeConsoleOutput::WriteConsoleOutputAttribute(ConsoleHandle handle,
                                                    const std::uint16_t* attributes,
                                                    std::uint32_t length, Coord at,
                                                    std::uint32_t* written) {
  *written = 0;
  if (!IsOurConsole(handle)) return false;
  *written = screen_.WriteAttributes(attributes, length, at);
  return *written > 0 || length == 0;
}

bool FakeConsoleOutput::ScrollConsoleScreenBufferA(ConsoleHandle handle, const SmallRect& scroll,
                                                   const SmallRect* clip, Coord destination,
                                                   const CharInfo& fill) {
  calls_.push_back("ScrollConsoleScreenBufferA");
  return IsOurConsole(handle) && screen_.Scroll(scroll, clip, destination, fill);
}

std::uint32_t FakeConsoleOutput::GetConsoleOutputCP() {
  calls_.push_back("GetConsoleOutputCP");
  return output_code_page_;
}

bool FakeConsoleOutput::SetConsoleOutputCP(std::uint32_t code_page) {
  calls_.push_back("SetConsoleOutputCP " + std::to_string(code_page));
  output_code_page_ = code_page;
  return true;
}

std::uint32_t FakeConsoleOutput::GetACP() {
  calls_.push_back("GetACP");
  return 1252;
}

void FakeConsoleOutput::SetActiveWindow() {
  calls_.push_back("SetActiveWindow");
}

bool FakeConsoleOutput::IsConsole(ConsoleHandle handle) {
  return IsOurConsole(handle);
}

bool FakeConsoleOutput::WriteFile(ConsoleHandle handle, const char* bytes, std::uint32_t length) {
  calls_.push_back("WriteFile " + std::to_string(length));
  if (handle != kOutputHandle) return false;
  file_bytes_.append(bytes, length);
  return true;
}

}  // namespace comterm::testing
