// An in-memory console input for tests: a queue of input records, or a script of bytes
// for standard input that is not a console, and a Sleep that only counts.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "console/console_input_api.h"

namespace comterm::testing {

/// Console input over a queue of events. Nothing in it waits.
class FakeConsoleInput : public ConsoleInputApi {
 public:
  /// The handle GetStdHandle returns for standard input.
  static constexpr ConsoleHandle kInputHandle = 0x1234;

  /// Queues a key-down event with every field given.
  void PressKey(std::uint16_t vk, std::uint16_t scan, char ascii, std::uint32_t state = 0,
                std::uint16_t repeat = 1);
  /// Queues a key-up event.
  void ReleaseKey(std::uint16_t vk, std::uint16_t scan, std::uint32_t state = 0);
  /// Queues an event of another type (mouse, window size, menu, focus).
  void QueueOther(std::uint16_t event_type);
  /// Queues any record.
  void Queue(const InputRecord& record) { events_.push_back(record); }

  /// Makes standard input a file or pipe that yields `bytes`, then ends if `ends` is set.
  void ScriptBytes(std::string bytes, bool ends);
  /// Appends bytes to the scripted non-console input.
  void AppendBytes(const std::string& bytes) { bytes_ += bytes; }
  /// Makes every further non-console read fail.
  void FailReads() { reads_fail_ = true; }

  /// Called on every Sleep, after it is counted; lets a test make input arrive "later".
  std::function<void()> on_sleep;

  std::size_t events_waiting() const { return events_.size(); }
  int sleeps() const { return sleeps_; }

  ConsoleHandle GetStdHandle(std::int32_t which) override;
  bool GetNumberOfConsoleInputEvents(ConsoleHandle handle, std::uint32_t* count) override;
  bool ReadConsoleInputA(ConsoleHandle handle, InputRecord* buffer, std::uint32_t length,
                         std::uint32_t* read) override;
  void Sleep(std::uint32_t milliseconds) override;
  bool IsConsole(ConsoleHandle handle) override;
  bool InputWaiting(ConsoleHandle handle) override;
  bool ReadFile(ConsoleHandle handle, char* bytes, std::uint32_t length,
                std::uint32_t* read) override;
  std::uintptr_t WaitHandle() override { return kInputHandle; }

 private:
  // A wait that nothing will ever end fails the test instead of hanging it.
  static constexpr int kSleepLimit = 100000;

  std::deque<InputRecord> events_;
  bool is_console_ = true;
  std::string bytes_;
  bool ends_ = false;
  bool reads_fail_ = false;
  int sleeps_ = 0;
};

}  // namespace comterm::testing
