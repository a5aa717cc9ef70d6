#include "console/cell_run_output.h"

namespace comterm {

CellRunOutput::CellRunOutput(std::unique_ptr<ConsoleOutputApi> target)
    : target_(std::move(target)) {}

CellRunOutput::~CellRunOutput() {
  Flush();
}

void CellRunOutput::JoinRun(ConsoleHandle handle, Coord at, std::size_t held) {
  const bool empty = characters_.empty() && attributes_.empty();
  const bool continues =
      !empty && handle == handle_ && at.Y == start_.Y && at.X >= 0 &&
      static_cast<std::size_t>(at.X) == static_cast<std::size_t>(start_.X) + held;
  if (continues) return;
  Flush();
  handle_ = handle;
  start_ = at;
}

void CellRunOutput::Flush() {
  std::uint32_t written = 0;
  if (!characters_.empty()) {
    target_->WriteConsoleOutputCharacterA(handle_, characters_.data(),
                                          static_cast<std::uint32_t>(characters_.size()), start_,
                                          &written);
  }
  if (!attributes_.empty()) {
    target_->WriteConsoleOutputAttribute(handle_, attributes_.data(),
                                         static_cast<std::uint32_t>(attributes_.size()), start_,
                                         &written);
  }
  characters_.clear();
  attributes_.clear();
}

bool CellRunOutput::WriteConsoleOutputCharacterA(ConsoleHandle handle, const char* characters,
                                                 std::uint32_t length, Coord at,
                                                 std::uint32_t* written) {
  JoinRun(handle, at, characters_.size());
  characters_.append(characters, length);
  *written = length;
  return true;
}

bool CellRunOutput::WriteConsoleOutputAttribute(ConsoleHandle handle,
                                                const std::uint16_t* attributes,
                                                std::uint32_t length, Coord at,
                                                std::uint32_t* written) {
  JoinRun(handle, at, attributes_.size());
  attributes_.insert(attributes_.end(), attributes, attributes + length);
  *written = length;
  return true;
}

ConsoleHandle CellRunOutput::GetStdHandle(std::int32_t which) {
  return target_->GetStdHandle(which);
}

bool CellRunOutput::GetConsoleScreenBufferInfo(ConsoleHandle handle,
                                               ConsoleScreenBufferInfo* info) {
  Flush();
  return target_->GetConsoleScreenBufferInfo(handle, info);
}

bool CellRunOutput::SetConsoleCursorPosition(ConsoleHandle handle, Coord position) {
  Flush();
  return target_->SetConsoleCursorPosition(handle, position);
}

bool CellRunOutput::ScrollConsoleScreenBufferA(ConsoleHandle handle, const SmallRect& scroll,
                                               const SmallRect* clip, Coord destination,
                                               const CharInfo& fill) {
  Flush();
  return target_->ScrollConsoleScreenBufferA(handle, scroll, clip, destination, fill);
}

std::uint32_t CellRunOutput::GetConsoleOutputCP() {
  return target_->GetConsoleOutputCP();
}

// Held characters are shown in the code page they were written under.
bool CellRunOutput::SetConsoleOutputCP(std::uint32_t code_page) {
  Flush();
  return target_->SetConsoleOutputCP(code_page);
}

std::uint32_t CellRunOutput::GetACP() {
  return target_->GetACP();
}

void CellRunOutput::SetActiveWindow() {
  target_->SetActiveWindow();
}

bool CellRunOutput::IsConsole(ConsoleHandle handle) {
  return target_->IsConsole(handle);
}

bool CellRunOutput::WriteFile(ConsoleHandle handle, const char* bytes, std::uint32_t length) {
  Flush();
  return target_->WriteFile(handle, bytes, length);
}

void CellRunOutput::FlushOutput(ConsoleHandle handle) {
  Flush();
  target_->FlushOutput(handle);
}

}  // namespace comterm
