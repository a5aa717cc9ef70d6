// The relay over fakes: a scripted serial device and keys on its virtual clock, and an
// in-memory console screen.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "app/terminal_settings.h"
#include "console/console_init.h"
#include "fakes/fake_comm.h"
#include "fakes/fake_console_input.h"
#include "fakes/fake_console_output.h"

namespace comterm::testing {

/// Width of the fake console window.
inline constexpr int kColumns = 120;

// Keys that become available at virtual times of the serial fake's clock; an action may
// run at such a time too. The fake driver's input handle is signalled while a key waits.
class TimedKeys : public testing::FakeConsoleInput {
 public:
  explicit TimedKeys(FakeComm& clock) : clock_(clock) {}
  void At(std::uint64_t ms, std::function<void(TimedKeys&)> action) {
    script_.emplace(ms, std::move(action));
    Signal();
  }
  void KeyAt(std::uint64_t ms, std::uint16_t vk, std::uint16_t scan, char ascii,
             std::uint32_t state = 0) {
    At(ms, [=](TimedKeys& keys) { keys.PressKey(vk, scan, ascii, state); });
  }
  bool GetNumberOfConsoleInputEvents(ConsoleHandle handle, std::uint32_t* count) override {
    while (!script_.empty() && script_.begin()->first <= clock_.Now()) {
      auto action = std::move(script_.begin()->second);
      script_.erase(script_.begin());
      action(*this);
    }
    const bool result = FakeConsoleInput::GetNumberOfConsoleInputEvents(handle, count);
    Signal();
    return result;
  }
  std::uintptr_t WaitHandle() override { return FakeComm::kInput; }

 private:
  // Input is signalled now while events wait, else at the next scripted time.
  void Signal() {
    if (events_waiting() > 0) {
      clock_.SetInputReadyAt(clock_.Now());
    } else {
      clock_.SetInputReadyAt(script_.empty() ? UINT64_MAX : script_.begin()->first);
    }
  }

  FakeComm& clock_;
  std::multimap<std::uint64_t, std::function<void(TimedKeys&)>> script_;
};

class RelayTest : public ::testing::Test {
 protected:
  RelayTest() : screen_({kColumns, 30}, {0, 0, kColumns - 1, 29}), keys_(comm_) {
    InitConsole(screen_, keys_);
    Settings = TerminalSettings{};
    ReceivedCount = 0;
    comm_.AddDevice("\\\\.\\COM1");
  }

  std::string Row(int y) {
    std::string row = screen_.Row(y, 0, kColumns - 1);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    return row;
  }
  void EscapeAt(std::uint64_t ms) { keys_.KeyAt(ms, 27, 1, 27); }
  // COM1's device goes at `gone_ms` and, when `back_ms` is given, returns then.
  void UnplugAt(std::uint64_t gone_ms, std::uint64_t back_ms = 0) {
    keys_.At(gone_ms, [this](TimedKeys&) { comm_.Unplug(); });
    if (back_ms != 0) keys_.At(back_ms, [this](TimedKeys&) { comm_.AddDevice("\\\\.\\COM1"); });
  }

  FakeComm comm_;
  FakeConsoleOutput screen_;
  TimedKeys keys_;
};

}  // namespace comterm::testing
