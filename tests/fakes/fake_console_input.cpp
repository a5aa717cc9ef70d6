#include "fakes/fake_console_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace comterm::testing {

void FakeConsoleInput::PressKey(std::uint16_t vk, std::uint16_t scan, char ascii,
                                std::uint32_t state, std::uint16_t repeat) {
  InputRecord record;
  record.EventType = kKeyEvent;
  record.KeyEvent = {1, repeat, vk, scan, ascii, state};
  events_.push_back(record);
}

void FakeConsoleInput::ReleaseKey(std::uint16_t vk, std::uint16_t scan, std::uint32_t state) {
  InputRecord record;
  record.EventType = kKeyEvent;
  record.KeyEvent = {0, 1, vk, scan, 0, state};
  events_.push_back(record);
}

void FakeConsoleInput::QueueOther(std::uint16_t event_type) {
  InputRecord record;
  record.EventType = event_type;
  events_.push_back(record);
}

void FakeConsoleInput::ScriptBytes(std::string bytes, bool ends) {
  is_console_ = false;
  bytes_ = std::move(bytes);
  ends_ = ends;
}

ConsoleHandle FakeConsoleInput::GetStdHandle(std::int32_t which) {
  return which == kStdInputHandle ? kInputHandle : 0;
}

bool FakeConsoleInput::GetNumberOfConsoleInputEvents(ConsoleHandle handle, std::uint32_t* count) {
  if (handle != kInputHandle || !is_console_) return false;
  *count = static_cast<std::uint32_t>(events_.size());
  return true;
}

bool FakeConsoleInput::ReadConsoleInputA(ConsoleHandle handle, InputRecord* buffer,
                                         std::uint32_t length, std::uint32_t* read) {
  *read = 0;
  if (handle != kInputHandle || !is_console_) return false;
  while (*read < length && !events_.empty()) {
    buffer[(*read)++] = events_.front();
    events_.pop_front();
  }
  return true;
}

void FakeConsoleInput::Sleep(std::uint32_t) {
  if (++sleeps_ > kSleepLimit) {
    ADD_FAILURE() << "waited for input that never came";
    throw std::runtime_error("FakeConsoleInput: endless wait");
  }
  if (on_sleep) on_sleep();
}

bool FakeConsoleInput::IsConsole(ConsoleHandle handle) {
  return handle == kInputHandle && is_console_;
}

bool FakeConsoleInput::InputWaiting(ConsoleHandle) {
  return !bytes_.empty() || ends_;
}

bool FakeConsoleInput::ReadFile(ConsoleHandle, char* bytes, std::uint32_t length,
                                std::uint32_t* read) {
  *read = 0;
  if (reads_fail_) return false;
  const std::size_t n = std::min<std::size_t>(length, bytes_.size());
  std::copy_n(bytes_.begin(), n, bytes);
  bytes_.erase(0, n);
  *read = static_cast<std::uint32_t>(n);
  return true;
}

}  // namespace comterm::testing
